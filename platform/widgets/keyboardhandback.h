#pragma once
// Hands the keyboard back when a modal dialog or message box closes.
//
// On the phone, and on an X server without a window manager, nobody else
// gives the keyboard back to the window below a closed box: the keys would go
// nowhere until a tap. Once installed (any number of calls install it once),
// the window still open gets it: the modal dialog still running, else the
// window the box belonged to, else the visible window left.

void handKeyboardBackAfterModals();
