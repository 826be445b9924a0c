// A window that also shows the main window's channel reports while both are visible (the sky
// plot): the main window hands it each 33xx record after its own row. The window implements
// this next to its widget base; the main window finds it through the window set.
#pragma once

#include "link/records.h"

class ChannelRecordView {
public:
    virtual ~ChannelRecordView() = default;
    virtual void showChannelRecord(const vx::ChannelStatusRecord& r) = 0;
};
