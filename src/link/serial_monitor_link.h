// The serial link as the monitor-mode exchanges see it (app/monitor_ops.h): whole writes
// through sendFrame, reads of what is waiting, purge. Use it while the receive worker is held
// by pauseLink (the flashing tools), or on a link started without a reader.
#pragma once

#include <algorithm>

#include "link/monitor_ops.h"
#include "link/serial_link.h"

namespace vx {

class SerialMonitorLink : public MonitorLink {
public:
    explicit SerialMonitorLink(SerialLink& link) : link_(link) {}
    int sendFrame(const uint8_t* bytes, uint16_t length) override {
        return link_.sendFrame(bytes, length);
    }
    // -1 when the link is not running; else the bytes read (0 while the worker is reading).
    int rawRead(uint8_t* buf, int count) override {
        if (!link_.running()) return -1;
        return int(link_.rawRead(buf, size_t(std::max(count, 0))));
    }
    void purgeLink() override { link_.purgeLink(); }

private:
    SerialLink& link_;
};

} // namespace vx
