#pragma once
// Input as a person's mouse and keyboard give it: SendInput into the system's input queue,
// which hands it to the window under the pointer or to the focus of the foreground window.
// Unlike a posted message it goes through hit-testing, activation, focus and the dialog manager.
#include <windows.h>

namespace oz::test {

// Asks for window to become the foreground (active) window; isInFront tells when it has,
// for the system and for the thread that owns it.
void askToFront(HWND window);
bool isInFront(HWND window);

// The centre of window in screen coordinates.
POINT centreOf(HWND window);

// Moves the pointer to at and presses and releases the left button count times, all in one
// go, as fast as a person's quickest clicks. True when the system took every event.
bool clickAt(POINT at, int count = 1);
// The same with the right button, once.
bool rightClickAt(POINT at);
// Shift+F10, the keyboard's way to a control's menu.
bool sendShiftF10();
// Presses and releases one key. True when the system took both events.
bool pressKey(WORD virtualKey);

// The window with the keyboard focus of the thread, or null when none has it.
HWND focusOf(DWORD thread);
// The active window of the thread, or null.
HWND activeOf(DWORD thread);

}  // namespace oz::test
