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
    virtual void appendLog(std::wstring text) = 0;
    // Returns once the box is dismissed. ownedByWindow: the main window owns the box.
    virtual void showMessage(std::string_view textUtf8, UINT flags, bool ownedByWindow) = 0;
    // The address (as normalised, UTF-8) of a TV that let us in, for the next start.
    virtual void rememberAddress(std::string_view addressUtf8) = 0;
};

}  // namespace oz
