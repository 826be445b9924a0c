// The serial link as the monitor-mode exchanges see it (link/monitor_ops.h): whole writes
// through sendFrame (the link's, or the claim of the tool that owns it), reads of what is
// waiting, purge, pause and resume, and waits in poll() for the receiver's bytes. Use it while
// the receive worker is held by pauseLink (the flash tools), or on a link started without a
// reader (vexor).
#pragma once

#include <algorithm>

#include "link/monitor_ops.h"
#include "link/serial_link.h"

namespace vx {

class SerialMonitorLink : public MonitorLink {
public:
    // Sends through the link itself.
    explicit SerialMonitorLink(SerialLink& link) : link_(link), sink_(link) {}
    // Sends through the claim that owns the link.
    explicit SerialMonitorLink(LinkClaim& claim) : link_(claim.link()), sink_(claim) {}

    int sendFrame(const uint8_t* bytes, uint16_t length) override {
        return sink_.sendFrame(bytes, length);
    }
    // -1 when the link is not running; else the bytes read (0 while the worker is reading).
    int rawRead(uint8_t* buf, int count) override {
        if (!link_.running()) return -1;
        return int(link_.rawRead(buf, size_t(std::max(count, 0))));
    }
    void purgeLink() override { link_.purgeLink(); }
    void discardReceived() override { link_.discardReceived(); }
    bool pauseLink() override { return link_.pauseLink(); }
    bool resumeLink() override { return link_.resumeLink(); }
    void waitReadable(int ms) override {
        // A stopped link answers nothing: nap instead of returning at once.
        if (!link_.waitReadable(ms)) MonitorLink::waitReadable(ms);
    }

    SerialLink& link() const { return link_; }

private:
    SerialLink& link_;
    FrameSink& sink_;
};

} // namespace vx
