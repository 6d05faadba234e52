#pragma once
// A small GUI run-time: windows loaded from layouts, controls with properties, events with
// redirection, message boxes. Controls are the GUI thread's alone; another thread hands work to
// it with Window::post, so a worker never blocks on a busy or closing window.
#include <windows.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/handles_win.h"
#include "runtime/layout_win.h"

namespace oz {

class Window;
using EventHandler = std::function<void()>;

class Control {
public:
    Control(Window& owner, const ControlLayout& layout);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return layout_.name; }
    int id() const { return layout_.id; }
    HWND handle() const { return hwnd_; }

    // Position and size in pixels, in the parent's client area.
    int left() const;
    int top() const;
    int width() const;
    int height() const;

    const std::string& tag() const { return tag_; }
    void setTag(std::string tag) { tag_ = std::move(tag); }

    // GUI thread, like everything of a control; other threads go through Window::post.
    void setDisabled(bool disabled);
    // The text goes to the end of the content and is scrolled into view.
    void appendText(const std::wstring& text);
    std::wstring content() const;
    void setContent(std::wstring_view text);
    void setPicture(UniqueGdiObject bitmap);

    EventHandler onClicked;
    EventHandler onGotFocus;
    // Right-click, the context-menu key or Shift+F10 on the control; at: where the menu goes,
    // in screen coordinates. Also while the control is greyed (it then gets no mouse input).
    std::function<void(POINT at)> onContextMenu;
    // From now on this control's events run target's handlers; the event component stays this one.
    void redirectTo(Control& target) { redirect_ = &target; }

    void create(HWND parent, HFONT font);
    void raiseClicked();
    void raiseGotFocus();

private:
    Control& handlerOwner() { return redirect_ ? *redirect_ : *this; }
    RECT placement() const;

    Window& owner_;
    ControlLayout layout_;
    HWND hwnd_ = nullptr;
    std::string tag_;
    Control* redirect_ = nullptr;
    UniqueGdiObject picture_;
};

class Window {
public:
    explicit Window(WindowLayout layout);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Modal: returns once the window has been destroyed, dispatching the GUI thread's messages.
    void showModal(HWND owner);
    // Not modal: returns at once.
    void load(HWND owner);
    bool isLoaded() const {
        HWND hwnd = hwnd_;
        return hwnd != nullptr && ::IsWindow(hwnd);
    }
    HWND handle() const { return hwnd_; }
    Control& control(std::string_view name);

    EventHandler onCreated;
    EventHandler onCanClose;

    bool isGuiThread() const { return ::GetCurrentThreadId() == guiThread_; }
    // Any thread: runs task on the GUI thread, after the tasks posted before it. Nothing runs
    // once the window has been destroyed; a task still queued then is dropped.
    using Task = std::function<void()>;
    void post(Task task);
    // GUI thread, once created: a tip shown while the pointer rests on the control.
    void addTooltip(const Control& control, std::string_view textUtf8);
    // GUI thread: enables or greys one of the window's controls; the focus stays where keys reach.
    void enableControl(HWND control, bool enabled);
    static LRESULT CALLBACK classProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onCommand(WPARAM wParam, LPARAM lParam);
    LRESULT onColorStatic(HDC dc);
    LRESULT runTasks();
    void dropTasks();
    LRESULT onClose();
    LRESULT onNcHitTest(WPARAM wParam, LPARAM lParam);
    LRESULT onContextMenu(WPARAM wParam, LPARAM lParam);
    bool onActivate(WPARAM wParam);
    LRESULT onNextControl(WPARAM wParam, LPARAM lParam);
    LRESULT onGetDefaultId() const;
    HWND focusOnActivation() const;
    bool isEscapeWithoutFocus(const MSG& message) const;
    Control* controlById(int id);
    void create(HWND owner);

    WindowLayout layout_;
    std::vector<std::unique_ptr<Control>> controls_;
    std::atomic<HWND> hwnd_{nullptr};  // read by workers posting to the window
    DWORD guiThread_ = 0;
    HWND lastFocus_ = nullptr;  // where the focus goes back to: on activation, or once enabled again
    HWND tooltip_ = nullptr;    // a child of the window: destroyed with it
    std::mutex tasksMutex_;     // guards tasks_, and hwnd_ against a post racing the destruction
    std::deque<Task> tasks_;
};

// Inside a handler: the control whose event it is (the source of a redirected event).
Control* eventComponent();

// The one message that carries posted tasks.
constexpr UINT kRunTasksMessage = WM_APP + 1;

// A message box with the caption "信息：" (task-modal unless system-modal is asked for).
int messageBox(std::string_view textUtf8, UINT flags, HWND owner);

struct MenuItem {
    int id = 0;
    std::string textUtf8;
    bool enabled = true;
};
// Shows a pop-up menu at a point of the screen and returns the id chosen, 0 when none was.
int popupMenu(HWND owner, POINT at, const std::vector<MenuItem>& items);

// The font every control uses: a UI font with Chinese glyphs where the system has one.
HFONT uiFont();

}  // namespace oz
