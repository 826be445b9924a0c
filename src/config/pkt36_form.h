// "DR Calibration (3603-3608)": the dead-reckoning calibration values of code 0x36 (gyro
// zero-rate offset, gyro linearity, direction switch, distance per pulse for three speed
// indexes, ZRO rate of change), one group each with its own Query and Set (0x08 is only
// queried). Showing the window does "Query All". Reports of code 0x36 also arrive unasked:
// "Pause" keeps them off the window, except while a Query of the window waits.
#pragma once

#include "config/dialog_tables.h"
#include "console/settings_form.h"

class Tpkt36Form : public SettingsForm {
    Q_OBJECT
public:
    explicit Tpkt36Form(Console& console, QWidget* parent = nullptr);

    bool paused() const { return paused_; }

public slots:
    void pauseButtonClick();

protected:
    bool takesReply(const vx::ReplyMatch& m) override;

private:
    QPushButton* pauseButton_;
    bool paused_ = false;
};
