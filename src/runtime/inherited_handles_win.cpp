#include "runtime/inherited_handles_win.h"

namespace oz {

InheritedHandles::InheritedHandles(std::span<const HANDLE> handles) : handles_(handles.begin(), handles.end()) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_ = std::make_unique<std::byte[]>(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.get());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    list_.reset(list);
    if (!::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                     handles_.size() * sizeof(HANDLE), nullptr, nullptr))
        list_.reset();
}

}  // namespace oz
