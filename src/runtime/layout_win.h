#pragma once
// Window layouts described in code: what a window and its controls look like when loaded.
#include <windows.h>

#include <string>
#include <vector>

namespace oz {

enum class ControlKind { Label, EditBox, PushButton, PictureBox };

struct ControlLayout {
    std::string name;  // layout name, e.g. "按钮_连接"
    ControlKind kind = ControlKind::Label;
    std::string text;  // caption or content, UTF-8
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    DWORD style = 0;    // added to the kind's own style bits
    DWORD exStyle = 0;
    bool disabled = false;
    int id = 0;  // child-window id; stays clear of IDOK and IDCANCEL
};

struct WindowLayout {
    std::string caption;  // UTF-8
    int width = 0, height = 0;  // outer size
    DWORD style = 0;
    DWORD exStyle = 0;
    bool visible = true;  // shown when loaded
    bool dragByBackground = false;  // a press on the window's own background moves it
    int iconId = 0;  // resource id of the window icon, 0 for none
    std::vector<ControlLayout> controls;
};

}  // namespace oz
