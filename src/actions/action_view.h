#pragma once
// What an action worker touches on the main window. Every call may come from a worker thread.
#include <windows.h>

#include <string>
#include <string_view>

#include "core/action_rules.h"

namespace oz {

class ActionView {
public:
    virtual ~ActionView() = default;
    virtual void setButtonDisabled(ActionCode button, bool disabled) = 0;
    // Texts are UTF-8; the window widens them once, on its own thread.
    virtual void appendLog(std::string_view textUtf8) = 0;
    // Who owns a box: nobody (task-modal), or the main window.
    enum class BoxOwner { none, window };
    // Returns once the box is dismissed.
    virtual void showMessage(std::string_view textUtf8, UINT flags, BoxOwner owner) = 0;
    // The address (as normalised, UTF-8) of a TV that let us in, for the next start.
    virtual void rememberAddress(std::string_view addressUtf8) = 0;
};

}  // namespace oz
