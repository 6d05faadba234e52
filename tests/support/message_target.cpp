#include "support/message_target.h"

namespace oz::test {

MessageTarget::MessageTarget(std::function<void()> onMessage) : onMessage_(std::move(onMessage)) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &MessageTarget::procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"OzConsoleTestTarget";
    ::RegisterClassW(&windowClass);  // fails harmlessly when it is registered already
    window_.reset(::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    windowClass.hInstance, this));
}

MessageTarget::~MessageTarget() = default;

LRESULT CALLBACK MessageTarget::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<MessageTarget*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_APP && self) {
        ++self->received_;
        if (self->onMessage_) self->onMessage_();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace oz::test
