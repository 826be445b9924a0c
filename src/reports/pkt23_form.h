// "RTCM Data": a window kept for the RTCM data view; it shows nothing and no report reaches it.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"

class Tpkt23From : public ConsoleDialog {
    Q_OBJECT
public:
    explicit Tpkt23From(Console& console, QWidget* parent = nullptr)
        : ConsoleDialog(parent), routes_(console, vx::WindowId::Tpkt23From, this) {
        resize(320, 200);
    }

private:
    RouteBinding routes_;
};
