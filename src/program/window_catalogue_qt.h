// The console's windows: every window that is built, with its factory, and the menu items that
// show them. This is where the program names its window classes; everything else keys on
// vx::WindowId and finds windows through the WindowSet it is given.
//
// Adding a window:
//  1. Its line in VX_WINDOW_LIST (link/window_ids.h) is there already: every window of the
//     console is listed, built or not.
//  2. In window_catalogue_qt.cpp, kWindows: {vx::WindowId::TfrmIoReplay, make<TfrmIoReplay>}.
//     make<T> builds T(WindowSet&) when T has that constructor (a window that works with other
//     windows), else T(Console&, vx::ComSlots&) (a window that needs the COM slot map), else
//     T(Console&).
//  3. Its menu item in kMenu (every item of the menu bar, in menu order, each naming the
//     window it shows) appears as soon as the window is in kWindows.
#pragma once

#include "console/window_set_qt.h"

// The catalogue and menu of the console, for the WindowSet.
WindowCatalogue windowCatalogue();
