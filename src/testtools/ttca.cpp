#include "testtools/ttca.h"

#include "console/report_view.h"
#include "link/catalogue.h"

#include <cerrno>
#include <cstring>

namespace vx {

namespace {

// Takes the frames a sender writes, to put them into a script.
class Capture : public FrameSink {
public:
    int sendFrame(const uint8_t* bytes, uint16_t length) override {
        frame.assign(bytes, bytes + length);
        return 0;
    }
    std::vector<uint8_t> frame;
};

constexpr int kColdResetWaitMs = 2000;
constexpr int kAlmanacPauseMs = 50;

} // namespace

PacedScript ttcaTriggerScript(TtcaTrigger trigger) {
    PacedScript script;
    Capture c;
    if (trigger == TtcaTrigger::ColdReset) {
        sendSystem(c, 0x02);
        script.push_back({c.frame, kColdResetWaitMs});
        return script;
    }
    for (int sv = 1; sv <= 32; ++sv) {
        AlmanacSvPage page;
        page.sv = uint8_t(sv);
        c.frame.clear();
        uploadAlmanac12(c, page);
        script.push_back({c.frame, kAlmanacPauseMs});
    }
    c.frame.clear();
    uploadAlmanac13(c, AlmanacPage13{});
    script.push_back({c.frame, kAlmanacPauseMs});
    c.frame.clear();
    uploadAlmanac14(c, AlmanacPage14{});
    script.push_back({c.frame, 0});
    return script;
}

std::string ttcaMinutesText(int64_t elapsedMs) {
    return formatText("%.1f", double(elapsedMs) / 60000.0);
}

std::string TtcaLog::open(const std::string& path) {
    close();
    path_ = path;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return path + ": " + std::strerror(errno);
    return {};
}

std::string TtcaLog::append(const std::string& minutes) {
    if (!file_) return path_ + ": not open";
    const std::string line = minutes + "\r\n";
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fflush(file_) != 0)
        return path_ + ": " + std::strerror(errno);
    return {};
}

void TtcaLog::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

} // namespace vx
