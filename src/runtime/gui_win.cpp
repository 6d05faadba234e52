#include "runtime/gui_win.h"

#include <windowsx.h>
#include <commctrl.h>

#include <stdexcept>

#include "runtime/text_win.h"

namespace oz {
namespace {

constexpr wchar_t kWindowClass[] = L"OzarithWindow";
constexpr wchar_t kPictureClass[] = L"OzarithPicture";
constexpr wchar_t kMessageCaption[] = L"信息：";

thread_local Control* currentEventSource = nullptr;

// Sets the event component for the duration of one handler call.
class EventScope {
public:
    explicit EventScope(Control* source) : previous_(currentEventSource) { currentEventSource = source; }
    ~EventScope() { currentEventSource = previous_; }
    EventScope(const EventScope&) = delete;
    EventScope& operator=(const EventScope&) = delete;

private:
    Control* previous_;
};

void run(const EventHandler& handler, Control* source) {
    if (!handler) return;
    EventScope scope(source);
    handler();
}

LRESULT CALLBACK pictureProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCHITTEST) return HTTRANSPARENT;  // the popup's background drag works over it too
    if (message != WM_PAINT) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    PaintScope paint(hwnd);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    ::FillRect(paint.dc(), &client, ::GetSysColorBrush(COLOR_BTNFACE));
    auto bitmap = reinterpret_cast<HBITMAP>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    BITMAP info{};
    if (bitmap && ::GetObjectW(bitmap, sizeof info, &info)) {
        UniqueMemoryDc source(::CreateCompatibleDC(paint.dc()));
        UniqueSelection selected = selectInto(source.get(), bitmap);
        ::BitBlt(paint.dc(), 0, 0, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY);
    }
    return 0;
}

void registerClasses(HINSTANCE instance) {
    static const bool registered = [instance] {
        WNDCLASSEXW windowClass{sizeof windowClass};
        windowClass.lpfnWndProc = Window::classProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kWindowClass;
        ::RegisterClassExW(&windowClass);
        WNDCLASSEXW pictureClass = windowClass;
        pictureClass.lpfnWndProc = pictureProc;
        pictureClass.lpszClassName = kPictureClass;
        ::RegisterClassExW(&pictureClass);
        return true;
    }();
    (void)registered;
}

struct KindTraits {
    const wchar_t* className;
    DWORD style;
};

KindTraits traitsOf(ControlKind kind) {
    switch (kind) {
    case ControlKind::Label: return {L"STATIC", SS_LEFT};
    case ControlKind::EditBox: return {L"EDIT", 0};
    case ControlKind::PushButton: return {L"BUTTON", BS_PUSHBUTTON};
    case ControlKind::PictureBox: return {kPictureClass, 0};
    }
    return {L"STATIC", 0};
}

// Message boxes and windows show Chinese on a system of any language only with a font that has
// the glyphs; the default GUI font of a western system has none of its own.
HFONT createUiFont() {
    NONCLIENTMETRICSW metrics{sizeof metrics};
    ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    LOGFONTW font = metrics.lfMessageFont;
    const UniqueWindowDc screen = windowDc(nullptr);
    for (const wchar_t* face : {L"Microsoft YaHei UI", L"Microsoft YaHei", L"SimSun", L"Noto Sans CJK SC"}) {
        LOGFONTW wanted{};
        wanted.lfCharSet = DEFAULT_CHARSET;
        ::lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
        bool found = false;
        ::EnumFontFamiliesExW(
            screen.get().dc, &wanted,
            [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM flag) -> int {
                *reinterpret_cast<bool*>(flag) = true;
                return 0;
            },
            reinterpret_cast<LPARAM>(&found), 0);
        if (found) {
            ::lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
            break;
        }
    }
    return ::CreateFontIndirectW(&font);
}

}  // namespace

Control* eventComponent() {
    return currentEventSource;
}

HFONT uiFont() {
    static UniqueGdiObject font(createUiFont());
    return static_cast<HFONT>(font.get());
}

int messageBox(std::string_view textUtf8, UINT flags, HWND owner) {
    if (!(flags & MB_SYSTEMMODAL)) flags |= MB_TASKMODAL;
    return ::MessageBoxW(owner, fromUtf8(textUtf8).c_str(), kMessageCaption, flags);
}

// ---- Control

Control::Control(Window& owner, const ControlLayout& layout) : owner_(owner), layout_(layout) {}

void Control::create(HWND parent, HFONT font) {
    const KindTraits kind = traitsOf(layout_.kind);
    DWORD style = WS_CHILD | WS_VISIBLE | kind.style | layout_.style;
    if (layout_.disabled) style |= WS_DISABLED;
    hwnd_ = ::CreateWindowExW(layout_.exStyle, kind.className, fromUtf8(layout_.text).c_str(), style, layout_.left,
                              layout_.top, layout_.width, layout_.height, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout_.id)),
                              ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (layout_.kind == ControlKind::EditBox) ::SendMessageW(hwnd_, EM_SETLIMITTEXT, 0, 0);
}

RECT Control::placement() const {
    RECT rect{};
    ::GetWindowRect(hwnd_, &rect);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(hwnd_), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int Control::left() const { return placement().left; }
int Control::top() const { return placement().top; }
int Control::width() const {
    const RECT rect = placement();
    return rect.right - rect.left;
}
int Control::height() const {
    const RECT rect = placement();
    return rect.bottom - rect.top;
}

void Control::setDisabled(bool disabled) { owner_.enableControl(hwnd_, !disabled); }

void Control::appendText(const std::wstring& text) {
    const LRESULT end = ::GetWindowTextLengthW(hwnd_);
    ::SendMessageW(hwnd_, EM_SETSEL, static_cast<WPARAM>(end), end);
    ::SendMessageW(hwnd_, EM_SCROLLCARET, 0, 0);
    ::SendMessageW(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring Control::content() const {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    const int length = ::GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

void Control::setContent(std::wstring_view text) {
    ::SetWindowTextW(hwnd_, std::wstring(text).c_str());
}

void Control::setPicture(UniqueGdiObject bitmap) {
    picture_ = std::move(bitmap);
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(picture_.get()));
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void Control::raiseClicked() { run(handlerOwner().onClicked, this); }
void Control::raiseGotFocus() { run(handlerOwner().onGotFocus, this); }

// ---- Window

Window::Window(WindowLayout layout) : layout_(std::move(layout)) {
    for (const ControlLayout& control : layout_.controls) controls_.push_back(std::make_unique<Control>(*this, control));
}

Window::~Window() {
    if (isLoaded()) ::DestroyWindow(hwnd_);
}

Control& Window::control(std::string_view name) {
    for (auto& control : controls_)
        if (control->name() == name) return *control;
    throw std::logic_error("no such control in the layout");
}

Control* Window::controlById(int id) {
    for (auto& control : controls_)
        if (control->id() == id) return control.get();
    return nullptr;
}

void Window::create(HWND owner) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    registerClasses(instance);
    guiThread_ = ::GetCurrentThreadId();
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - layout_.width) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - layout_.height) / 2;
    hwnd_ = ::CreateWindowExW(layout_.exStyle, kWindowClass, fromUtf8(layout_.caption).c_str(), layout_.style, x, y,
                              layout_.width, layout_.height, owner, nullptr, instance, this);
    if (layout_.iconId != 0) {
        for (auto [which, metric] : {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
            const int size = ::GetSystemMetrics(metric);
            HANDLE icon = ::LoadImageW(instance, MAKEINTRESOURCEW(layout_.iconId), IMAGE_ICON, size, size, LR_SHARED);
            ::SendMessageW(hwnd_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
        }
    }
    for (auto& control : controls_) control->create(hwnd_, uiFont());
    if (onCreated) onCreated();
    if (layout_.visible) {
        ::ShowWindow(hwnd_, SW_SHOW);
        ::SetFocus(focusOnActivation());
    }
}

void Window::load(HWND owner) {
    if (!isLoaded()) create(owner);
}

void Window::showModal(HWND owner) {
    load(owner);
    MSG message{};
    while (isLoaded()) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got < 0) break;
        // The dialog manager gives Tab navigation, and turns Esc into IDCANCEL.
        if (isEscapeWithoutFocus(message)) {
            ::SendMessageW(hwnd_, WM_COMMAND, IDCANCEL, 0);
            continue;
        }
        if (isLoaded() && ::IsDialogMessageW(hwnd_, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

LRESULT CALLBACK Window::classProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* window = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        window->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    auto* window = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!window) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    return window->handle(hwnd, message, wParam, lParam);
}

LRESULT Window::handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: return onCommand(wParam, lParam);
    case WM_CTLCOLORSTATIC: return onColorStatic(reinterpret_cast<HDC>(wParam));
    case WM_CLOSE: return onClose();
    case WM_NCHITTEST: return onNcHitTest(wParam, lParam);
    case WM_CONTEXTMENU: return onContextMenu(wParam, lParam);
    case WM_ACTIVATE:
        if (onActivate(wParam)) return 0;
        break;
    case WM_NEXTDLGCTL: return onNextControl(wParam, lParam);
    case DM_GETDEFID: return onGetDefaultId();
    case kRunTasksMessage: return runTasks();
    case WM_NCDESTROY: dropTasks(); break;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Window::onCommand(WPARAM wParam, LPARAM) {
    const int id = LOWORD(wParam);
    if (id == IDCANCEL) return onClose();  // Esc, through the dialog manager
    Control* control = controlById(id);
    if (!control) return 0;
    if (HIWORD(wParam) == BN_CLICKED) control->raiseClicked();
    if (HIWORD(wParam) == EN_SETFOCUS) control->raiseGotFocus();
    return 0;
}

// Labels and the read-only log box draw on the button face like the window itself.
LRESULT Window::onColorStatic(HDC dc) {
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT Window::onClose() {
    if (onCanClose) onCanClose();
    ::DestroyWindow(hwnd_);
    return 0;
}

// Like a dialog: the control that had the focus gets it back when the window is activated again.
// Returns true when it placed the focus itself (the default handling would take it to the window).
bool Window::onActivate(WPARAM wParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focused = ::GetFocus();
        if (focused && ::IsChild(hwnd_, focused)) lastFocus_ = focused;
        return false;
    }
    if (HIWORD(wParam) != 0) return false;  // minimised
    ::SetFocus(focusOnActivation());
    return true;
}

// From the keyboard the point is (-1, -1): the menu then goes below the control's middle.
LRESULT Window::onContextMenu(WPARAM wParam, LPARAM lParam) {
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    HWND target = reinterpret_cast<HWND>(wParam);
    if (target == hwnd_ && lParam != -1) {  // a greyed control gets no mouse input: its parent has it
        POINT client = at;
        ::ScreenToClient(hwnd_, &client);
        target = ::ChildWindowFromPointEx(hwnd_, client, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    }
    Control* control = controlById(::GetDlgCtrlID(target));
    if (!control || control->handle() != target || !control->onContextMenu) return ::DefWindowProcW(hwnd_, WM_CONTEXTMENU, wParam, lParam);
    if (lParam == -1) {
        RECT rect{};
        ::GetWindowRect(target, &rect);
        at = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
    control->onContextMenu(at);
    return 0;
}

void Window::addTooltip(const Control& control, std::string_view textUtf8) {
    if (!tooltip_) {
        tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr);
        ::SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(uiFont()), FALSE);
        ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 260);
    }
    std::wstring text = fromUtf8(textUtf8);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control.handle());
    tool.lpszText = text.data();
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

int popupMenu(HWND owner, POINT at, const std::vector<MenuItem>& items) {
    const UniqueMenu menu(::CreatePopupMenu());
    if (!menu) return 0;
    for (const MenuItem& item : items)
        ::AppendMenuW(menu.get(), MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED), static_cast<UINT_PTR>(item.id),
                      fromUtf8(item.textUtf8).c_str());
    const UINT flags = TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN;
    return static_cast<int>(::TrackPopupMenu(menu.get(), flags, at.x, at.y, 0, owner, nullptr));
}

// A greyed control cannot hold the focus: keys would then reach no window of ours.
HWND Window::focusOnActivation() const {
    if (lastFocus_ && ::IsWindow(lastFocus_) && ::IsWindowEnabled(lastFocus_)) return lastFocus_;
    HWND window = hwnd_;
    HWND first = ::GetNextDlgTabItem(window, nullptr, FALSE);
    return first ? first : window;
}

// A disabled window takes no keys (Wine even drops the focus), so greying the focused control
// would keep Esc, Tab and Enter from the dialog manager. The window holds the focus instead and
// gives it back when the control is enabled again, unless it has moved on. Not the next
// control: a second Enter would press that one.
void Window::enableControl(HWND control, bool enabled) {
    if (!enabled && ::GetFocus() == control) {
        lastFocus_ = control;
        ::SetFocus(hwnd_);
    }
    ::EnableWindow(control, enabled ? TRUE : FALSE);
    if (enabled && control == lastFocus_ && ::GetFocus() == hwnd_) ::SetFocus(control);
}

// What a dialog does for WM_NEXTDLGCTL; a multi-line edit box sends it for Tab.
LRESULT Window::onNextControl(WPARAM wParam, LPARAM lParam) {
    HWND focused = ::GetFocus();
    HWND from = focused == hwnd_ ? nullptr : focused;
    HWND next = lParam ? reinterpret_cast<HWND>(wParam) : ::GetNextDlgTabItem(hwnd_, from, wParam != 0);
    if (next) ::SetFocus(next);
    return 0;
}

// Enter presses the focused push button: the dialog manager makes a button the default one
// when Tab reaches it, not when a click gives it the focus.
LRESULT Window::onGetDefaultId() const {
    HWND focused = ::GetFocus();
    if (!focused || !::IsChild(hwnd_, focused) || !::IsWindowEnabled(focused)) return 0;
    const LRESULT code = ::SendMessageW(focused, WM_GETDLGCODE, 0, 0);
    if ((code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) == 0) return 0;
    return MAKELRESULT(::GetDlgCtrlID(focused), DC_HASDEFID);
}

// With no focus the system sends keys to the active window as system keys, which the dialog
// manager ignores; Alt+Esc (context bit 29) is the system's own.
bool Window::isEscapeWithoutFocus(const MSG& message) const {
    return message.hwnd == hwnd_ && message.message == WM_SYSKEYDOWN && message.wParam == VK_ESCAPE &&
           (message.lParam & (1 << 29)) == 0;
}

LRESULT Window::onNcHitTest(WPARAM wParam, LPARAM lParam) {
    const LRESULT hit = ::DefWindowProcW(hwnd_, WM_NCHITTEST, wParam, lParam);
    return layout_.dragByBackground && hit == HTCLIENT ? HTCAPTION : hit;
}

// One message carries every task: the queue is drained in order, and what is still queued when
// the window goes is dropped with it.
void Window::post(Task task) {
    std::lock_guard lock(tasksMutex_);
    HWND target = hwnd_;
    if (!target) return;
    tasks_.push_back(std::move(task));
    if (tasks_.size() == 1) ::PostMessageW(target, kRunTasksMessage, 0, 0);
}

LRESULT Window::runTasks() {
    std::deque<Task> due;
    {
        std::lock_guard lock(tasksMutex_);
        due.swap(tasks_);
    }
    for (Task& task : due) task();
    return 0;
}

void Window::dropTasks() {
    std::deque<Task> dropped;
    std::lock_guard lock(tasksMutex_);
    hwnd_ = nullptr;
    dropped.swap(tasks_);
}

}  // namespace oz
