#pragma once
// The attribute list that limits what a new process inherits to the handles named, however many
// inheritable handles this process holds at that moment.
#include <windows.h>

#include <memory>
#include <span>
#include <vector>

#include "runtime/handles_win.h"

namespace oz {

struct AttributeListTraits {
    using Value = LPPROC_THREAD_ATTRIBUTE_LIST;
    static Value empty() noexcept { return nullptr; }
    static void close(Value list) noexcept { ::DeleteProcThreadAttributeList(list); }
};

class InheritedHandles {
public:
    explicit InheritedHandles(std::span<const HANDLE> handles);
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;

    // For STARTUPINFOEXW; null when the list could not be made (GetLastError says why).
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_.get(); }

private:
    std::vector<HANDLE> handles_;  // the list points into it
    std::unique_ptr<std::byte[]> storage_;
    Owned<AttributeListTraits> list_;  // declared last: deleted before its storage goes
};

}  // namespace oz
