#include "link/catalogue.h"

namespace vx {

// ---------------------------------------------------------------------------------------------
// CommandFrame

CommandFrame::CommandFrame(uint8_t command, uint8_t code) {
    frame_.enc().startFrame(command, code);
}

CommandFrame::CommandFrame(uint8_t command, uint8_t code, uint8_t subcode)
    : CommandFrame(command, code) {
    frame_.enc().addByte(subcode);
}

CommandFrame& CommandFrame::byte(uint8_t b) {
    frame_.enc().addByte(b);
    return *this;
}

CommandFrame& CommandFrame::word(uint16_t v) {
    frame_.enc().addWord(v);
    return *this;
}

CommandFrame& CommandFrame::dword(uint32_t v) {
    frame_.enc().addDword(v);
    return *this;
}

CommandFrame& CommandFrame::dwordMsbFirst(uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) frame_.enc().addByte(uint8_t(v >> shift));
    return *this;
}

CommandFrame& CommandFrame::single(float f) {
    frame_.enc().addFloat(f);
    return *this;
}

CommandFrame& CommandFrame::bytes(std::span<const uint8_t> b) {
    for (uint8_t x : b) frame_.enc().addByte(x);
    return *this;
}

bool CommandFrame::finish() {
    if (!finished_) {
        fits_ = frame_.enc().finishFrame();
        finished_ = true;
    }
    return fits_;
}

int CommandFrame::send(FrameSink& sink) {
    if (!finish()) return -1;
    return sink.sendFrame(frame_.data(), uint16_t(frame_.size()));
}

std::vector<uint8_t> CommandFrame::toBytes() {
    if (!finish()) return {};
    return std::vector<uint8_t>(frame_.data(), frame_.data() + frame_.size());
}

namespace {

// Returned as prvalues, so no copy of the frame is ever made.
CommandFrame query(uint8_t code, uint8_t subcode) {
    return CommandFrame(kCmdQuery, code, subcode);
}

CommandFrame set(uint8_t code, uint8_t subcode) {
    return CommandFrame(kCmdSet, code, subcode);
}

// Sends a script whose steps have no pauses.
int sendBackToBack(FrameSink& sink, const PacedScript& script) {
    ScriptCursor cursor(script);
    while (!cursor.done()) cursor.sendNext(sink);
    return cursor.lastResult();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Generic builders

int sendQuery(FrameSink& sink, uint8_t code, uint8_t subcode) {
    return query(code, subcode).send(sink);
}

int sendQuery2(FrameSink& sink, uint8_t code, uint8_t subcode, uint8_t second) {
    return query(code, subcode).byte(second).send(sink);
}

PacedScript queryRangeScript(uint8_t code, uint8_t n) {
    PacedScript script;
    script.reserve(n);
    for (int s = 1; s <= n; ++s) script.push_back({query(code, uint8_t(s)).toBytes(), 0});
    return script;
}

int sendQueryRange(FrameSink& sink, uint8_t code, uint8_t n) {
    if (n == 0) return kNothingSent;
    return sendBackToBack(sink, queryRangeScript(code, n));
}

int sendSystem(FrameSink& sink, uint8_t code) {
    return CommandFrame(kCmdSystem, code).send(sink);
}

int sendCommand(FrameSink& sink, uint8_t command, uint8_t code, uint8_t subcode, uint8_t index,
                std::span<const uint8_t> data) {
    CommandFrame f(command, code);
    if (command != kCmdSystem) f.byte(subcode);
    if (index != kNoIndex) f.byte(index);
    f.bytes(data);
    return f.send(sink);
}

int sendCommandCounted(FrameSink& sink, uint8_t command, uint8_t code, uint8_t subcode,
                       uint8_t index, const uint8_t* countedData) {
    std::span<const uint8_t> data;
    if (countedData) data = std::span<const uint8_t>(countedData + 1, countedData[0]);
    return sendCommand(sink, command, code, subcode, index, data);
}

std::string_view systemCommandCaption(uint8_t code) {
    for (const SystemCommand& c : kSystemCommands) {
        if (c.code == code) return c.caption;
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// Queries

PacedScript queryVersionScript() {
    return {
        {query(0x11, 1).toBytes(), kVersionPauseMs},
        {query(0x11, 2).toBytes(), kVersionPauseMs},
        {query(0x11, 3).toBytes(), 0},
    };
}

int queryVersion(FrameSink& sink, Sleeper& sleeper) {
    return runScriptBlocking(sink, queryVersionScript(), sleeper);
}

int queryProductInfo2(FrameSink& sink) {
    return sendQuery(sink, 0x12, 2);
}
int queryProductInfo3(FrameSink& sink) {
    return sendQuery(sink, 0x12, 3);
}
int queryProductInfo4(FrameSink& sink) {
    return sendQuery(sink, 0x12, 4);
}

PacedScript queryGpsConfigScript() {
    return queryGroupScript(gpsConfigSettings());
}
int queryGpsConfig(FrameSink& sink) {
    return sendBackToBack(sink, queryGpsConfigScript());
}

PacedScript queryKalmanScript() {
    return queryGroupScript(kalmanSettings());
}
int queryKalman(FrameSink& sink) {
    return sendBackToBack(sink, queryKalmanScript());
}

int queryAlmanac(FrameSink& sink, uint8_t subcode, uint8_t sv) {
    if (subcode == 0x12) return sendQuery2(sink, 0x28, subcode, sv);
    return sendQuery(sink, 0x28, subcode);
}

int queryDrCalibration(FrameSink& sink, uint8_t subcode, uint8_t dppIndex) {
    const PacketLayout* l = findLayout(0x36, subcode);
    if (!l) return -1;
    // The DPP layout names its entry by index; the others carry nothing after the subcode.
    const uint8_t key[] = {dppIndex};
    return sendLayoutQuery(sink, *l, subcode, std::span(key, l->keyBytes ? 1 : 0));
}

// ---------------------------------------------------------------------------------------------
// Sets

int clearEventLog(FrameSink& sink, uint8_t value) {
    return set(0x14, 1).byte(value).send(sink);
}

int setDrEngineRate(FrameSink& sink, uint8_t rate) {
    const SettingsGroup& g = engineRateSettings();
    return sendSetting(sink, g, *g.find(0x01), rate);
}

int setNmeaOutput(FrameSink& sink, uint8_t interval, uint32_t messageMask) {
    return set(0x22, 2).byte(interval).dwordMsbFirst(messageMask).send(sink);
}

PacedScript setGpsConfigScript(const GpsConfigRecord& config) {
    return setGroupScript(gpsConfigSettings(), config, kGpsConfigPauseMs);
}

int setGpsConfig(FrameSink& sink, const GpsConfigRecord& config, Sleeper& sleeper) {
    return runScriptBlocking(sink, setGpsConfigScript(config), sleeper);
}

PacedScript setKalmanScript(const KalmanRecord& params) {
    return setGroupScript(kalmanSettings(), params);
}

int setKalman(FrameSink& sink, const KalmanRecord& params) {
    return sendBackToBack(sink, setKalmanScript(params));
}

namespace {

// A DR filter value of the kind its subcode carries; -1 for any other.
int sendDrFilter(FrameSink& sink, uint8_t subcode, WireType kind, double value) {
    const SettingsGroup& g = drFilterSettings();
    const SettingDef* d = g.find(subcode);
    if (!d || d->type != kind) return -1;
    return sendSetting(sink, g, *d, value);
}

} // namespace

int setDrFilter(FrameSink& sink, uint8_t subcode, int32_t value) {
    return sendDrFilter(sink, subcode, WireType::I32, value);
}

int setDrFilter(FrameSink& sink, uint8_t subcode, float value) {
    return sendDrFilter(sink, subcode, WireType::F32, value);
}

int uploadAlmanac12(FrameSink& sink, const AlmanacSvPage& p) {
    return set(0x28, 0x12).byte(p.sv).byte(p.status).byte(p.extra).bytes(p.data).send(sink);
}

int uploadAlmanac13(FrameSink& sink, const AlmanacPage13& p) {
    return set(0x28, 0x13).byte(p.status).byte(p.extra).bytes(p.first).bytes(p.second).send(sink);
}

int uploadAlmanac14(FrameSink& sink, const AlmanacPage14& p) {
    return set(0x28, 0x14).byte(p.status).byte(p.extra).bytes(p.data).send(sink);
}

namespace {

// The Set frame of a record through its layout.
template <class R> int sendRecord(FrameSink& sink, const PacketLayout& l, const R& r) {
    const std::vector<uint8_t> frame = recordSetFrame(l, r);
    if (frame.empty()) return -1;
    return sink.sendFrame(frame.data(), uint16_t(frame.size()));
}

} // namespace

int setInit1(FrameSink& sink, const InitTime& v) {
    return sendRecord(sink, kInitTimeLayout, v);
}

int setInit2(FrameSink& sink, const InitPosition& v) {
    return sendRecord(sink, kInitLatLonLayout, v);
}

int setInit3(FrameSink& sink, const InitAltitude& v) {
    return sendRecord(sink, kInitAltitudeLayout, v);
}

int setInit4(FrameSink& sink, const InitFrequency& v) {
    return sendRecord(sink, kInitFrequencyLayout, v);
}

int setInit5(FrameSink& sink, const InitHeading& v) {
    return sendRecord(sink, kInitHeadingLayout, v);
}

int setShortMapMatch(FrameSink& sink, const ShortMapMatch& v) {
    return sendRecord(sink, kMapMatchLayout, v);
}

int setTacho(FrameSink& sink, const TachoData& v) {
    return sendRecord(sink, kTachoDataLayout, v);
}

namespace {

int setIntervalTrigger(FrameSink& sink, const PacketLayout& l, OutputTarget t,
                       IntervalTrigger trig) {
    return sendRecord(sink, l,
                      IntervalTriggerRecord{trig.minimum, trig.maximum, t.code, t.subcode});
}

} // namespace

int setEventOutput(FrameSink& sink, OutputTarget target, uint32_t eventMask) {
    return sendRecord(sink, kEventTriggerLayout,
                      EventTriggerRecord{target.code, target.subcode, eventMask});
}

int setTimeOutput(FrameSink& sink, OutputTarget target, IntervalTrigger trigger) {
    return setIntervalTrigger(sink, kTimeTriggerLayout, target, trigger);
}

int setDistOutput(FrameSink& sink, OutputTarget target, IntervalTrigger trigger) {
    return setIntervalTrigger(sink, kDistanceTriggerLayout, target, trigger);
}

int setHeadingOutput(FrameSink& sink, OutputTarget target, IntervalTrigger trigger) {
    return setIntervalTrigger(sink, kHeadingTriggerLayout, target, trigger);
}

int setSoftEventMask(FrameSink& sink, uint8_t eventCode, uint8_t mask) {
    const std::vector<uint8_t> frame =
        recordSetFrame(kEventMaskLayout, EventMaskRecord{eventCode, mask}, uint8_t(0x01));
    if (frame.empty()) return -1;
    return sink.sendFrame(frame.data(), uint16_t(frame.size()));
}

int setTestControl(FrameSink& sink, uint8_t subcode, uint16_t value) {
    return set(0x2F, subcode).word(value).send(sink);
}

int setDrCalibration(FrameSink& sink, const DrCalibration& v) {
    // The subcodes a host sets; any other would go out in the value form of the catch-all
    // layout, which the receiver does not take.
    if (v.subcode != 0x03 && v.subcode != 0x04 && v.subcode != 0x05 && v.subcode != 0x07) return -1;
    const PacketLayout* l = findLayout(0x36, v.subcode);
    return l ? sendRecord(sink, *l, v) : -1;
}

int setDiagOutput(FrameSink& sink, const DiagOutputMask& bitmap) {
    return set(0x70, 0x7F).bytes(bitmap).send(sink);
}

} // namespace vx
