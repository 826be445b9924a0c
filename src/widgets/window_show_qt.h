// Showing a window that pops up by itself (the error window after a refused frame, the System
// Command Ack window) without taking the keyboard from the window the user is typing in.
#pragma once

class QWidget;

// Shows a hidden top-level window without activating it: the platform is asked not to (the
// window manager then leaves the focus where it is), and where a platform activates every
// window it shows anyway, the window that was active gets the keyboard back at once. A window
// that is already visible is left as it is. The user activates the window by clicking it.
void showWithoutActivating(QWidget* window);
