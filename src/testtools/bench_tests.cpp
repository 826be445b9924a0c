#include "testtools/bench_tests.h"

#include <charconv>

namespace vx {

namespace {

constexpr ItemKind E = ItemKind::Edit;
constexpr ItemKind C = ItemKind::Circle;

constexpr ViewItem k3F02Items[] = {
    {E, "pulsesCountedWin", "Pulses Counted:", nullptr, 10},
    {E, "maxSpeedWin", "Maximum Speed:", nullptr, 10},
    {E, "totalDistanceWin", "Total Distance:", nullptr, 10},
    {E, "maxSvsWin", "Max Svs Tracked:", nullptr, 10},
    {E, "maxSnrWin", "Maximum SNR:", nullptr, 10},
    {E, "dirSwF2RWin", "Dir Switch F to R:", nullptr, 10},
    {E, "dirSwR2FWin", "Dir Switch R to F:", nullptr, 10},
    {E, "initialHdgWin", "Initial Heading:", nullptr, 10},
    {E, "finalHdgWin", "Final Heading:", nullptr, 10},
    {E, "testDurationWin", "Test Duration:", nullptr, 10},
    {C, "gpsFix2DStatus", "2-D GPS Fix"},
    {C, "gpsFix3DStatus", "3-D GPS Fix"},
    {C, "gpsCalDrStatus", "GPS Calibrated DR"},
    {C, "almCompleteStatus", "Almanac Complete"},
    {C, "gpsStatus", "GPS Status"},
};
constexpr ViewBox k3F02Boxes[] = {{.caption = "Data Positioning Collection Test Report",
                                   .objectName = nullptr,
                                   .first = 0,
                                   .count = 15,
                                   .columns = 2}};
const ViewSpec k3F02View{WindowId::TDataCollectionTestForm, k3F02Items, k3F02Boxes, {}};

constexpr ViewItem k3F04Items[] = {
    {E, "adcCountsWin", "ADC/Gyro Counts:", nullptr, 10},
    {E, "samplesAtRestWin", "Samples at Rest:", nullptr, 10},
    {E, "testDurationWin", "Test Duration:", nullptr, 10},
};
constexpr ViewBox k3F04Boxes[] = {
    {.caption = "Gyro Bench Test Report", .objectName = nullptr, .first = 0, .count = 3}};
const ViewSpec k3F04View{WindowId::TgyroBenchTest, k3F04Items, k3F04Boxes, {}};

constexpr ViewItem k3F06Items[] = {
    {E, "tachoCountsWin", "Tacho Counts:", nullptr, 10},
    {E, "tachoSamplesWin", "Test Samples:", nullptr, 10},
    {E, "dirSwChangesWin", "Dir Sw Changes:", nullptr, 10},
    {E, "dirSwSamplesWin", "Samples:", nullptr, 10},
    {E, "testDurationWin", "Test Duration:", nullptr, 10},
};
constexpr ViewBox k3F06Boxes[] = {
    {.caption = "Tacho/Reverse Test Report", .objectName = nullptr, .first = 0, .count = 5}};
const ViewSpec k3F06View{WindowId::TtachoReverseBenchForm, k3F06Items, k3F06Boxes, {}};

const BenchTestSpec kDataCollection{k3F02View,
                                    0x02,
                                    3600,
                                    "Data Positioning Collection Test Interval Control",
                                    "Time Interval out of Range (1-3600 Seconds)",
                                    "Test Complete"};
const BenchTestSpec kGyroBench{k3F04View,
                               0x04,
                               60,
                               "Gyro Bench Test Time Interval Control",
                               "Time Interval out of Range (1-60 Seconds)",
                               "Test complete"};
const BenchTestSpec kTachoReverse{k3F06View,
                                  0x06,
                                  60,
                                  "Tacho/Reverse Test Time Interval Control",
                                  "Time Interval out of Range (1-60 Seconds)",
                                  "Test Complete"};

} // namespace

const BenchTestSpec& dataCollectionTest() {
    return kDataCollection;
}
const BenchTestSpec& gyroBenchTest() {
    return kGyroBench;
}
const BenchTestSpec& tachoReverseTest() {
    return kTachoReverse;
}

std::optional<uint16_t> readTestInterval(std::string_view text, uint16_t max) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    unsigned long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (v == 0 || v > max) return std::nullopt;
    return uint16_t(v);
}

void showDataCollectionTest(const DataCollectionTestRecord& r, ViewUpdates& u) {
    using namespace pkt3F02;
    u.format(pulsesCountedWin, "%u", r.pulses_counted);
    u.format(maxSpeedWin, "%u", unsigned(r.max_speed));
    u.format(totalDistanceWin, "%u", r.total_distance);
    u.format(maxSvsWin, "%u", unsigned(r.max_svs));
    u.format(maxSnrWin, "%.1f", r.max_snr * 0.2);
    u.format(dirSwF2RWin, "%u", unsigned(r.dir_switch_f_to_r));
    u.format(dirSwR2FWin, "%u", unsigned(r.dir_switch_r_to_f));
    u.format(initialHdgWin, "%u", unsigned(r.initial_heading));
    u.format(finalHdgWin, "%u", unsigned(r.final_heading));
    u.format(testDurationWin, "%u", unsigned(r.test_duration));
    // A set bit marks the condition as failed: red; clear: green.
    const uint16_t leds[] = {gpsFix2DStatus, gpsFix3DStatus, gpsCalDrStatus, almCompleteStatus,
                             gpsStatus};
    for (int b = 0; b < 5; ++b) u.flag(leds[b], (r.status_flags >> b) & 1, Tint::Red, Tint::Green);
}

void showGyroBenchTest(const GyroBenchTestRecord& r, ViewUpdates& u) {
    using namespace pkt3F04;
    u.format(adcCountsWin, "%u", r.adc_counts);
    u.format(samplesAtRestWin, "%u", unsigned(r.samples_at_rest));
    u.format(testDurationWin, "%u", unsigned(r.test_duration));
}

void showTachoReverseTest(const TachoReverseTestRecord& r, ViewUpdates& u) {
    using namespace pkt3F06;
    u.format(tachoCountsWin, "%u", r.tacho_counts);
    u.format(tachoSamplesWin, "%u", unsigned(r.test_samples));
    u.format(dirSwChangesWin, "%u", unsigned(r.dir_switch_changes));
    u.format(dirSwSamplesWin, "%u", unsigned(r.dir_switch_samples));
    u.format(testDurationWin, "%u", unsigned(r.test_duration));
}

} // namespace vx
