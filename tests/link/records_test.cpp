// The record area as a whole: snapshots handed to the window thread, record names and the
// field visitors.
#include "link/decoders.h"
#include "link/records.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace vx;
using vxtest::bytes;

namespace {

std::vector<RecordKind> allKinds() {
    std::vector<RecordKind> kinds;
    for (int k = 1; k < int(std::variant_size_v<RecordSnapshot>); ++k)
        kinds.push_back(RecordKind(k));
    return kinds;
}

bool isSnakeCase(std::string_view s) {
    if (s.empty() || !(s[0] >= 'a' && s[0] <= 'z')) return false;
    for (char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

// Collects the field names a record's visitor reports, nested records included.
struct NameCollector {
    std::vector<std::string>& names;
    template <class T> void operator()(const char* name, const T& value) {
        names.emplace_back(name);
        if constexpr (requires { value.visit(*this); }) {
            std::vector<std::string> inner;
            value.visit(NameCollector{inner});
            for (auto& n : inner) names.push_back(std::string(name) + "." + n);
        }
    }
};

TEST(RecordArea, EveryKindHasAUniqueSnakeCaseName) {
    std::set<std::string_view> seen;
    for (RecordKind k : allKinds()) {
        std::string_view name = recordName(k);
        EXPECT_TRUE(isSnakeCase(name)) << name;
        EXPECT_TRUE(seen.insert(name).second) << name;
    }
    EXPECT_EQ(recordName(RecordKind::None), "none");
    EXPECT_EQ(recordName(RecordKind::DrData), "dr_data_3002");
    EXPECT_GE(seen.size(), 55u);
}

TEST(RecordArea, EveryRecordVisitsUniqueSnakeCaseFields) {
    auto area = std::make_unique<RecordArea>();
    for (RecordKind k : allKinds()) {
        std::vector<std::string> names;
        ASSERT_TRUE(withRecord(*area, k, [&](const auto& r) { r.visit(NameCollector{names}); }));
        EXPECT_FALSE(names.empty()) << recordName(k);
        std::set<std::string> unique(names.begin(), names.end());
        EXPECT_EQ(unique.size(), names.size()) << recordName(k);
        for (const auto& n : names) {
            for (size_t start = 0; start <= n.size();) {
                size_t dot = n.find('.', start);
                std::string part = n.substr(start, dot == std::string::npos ? n.npos : dot - start);
                EXPECT_TRUE(isSnakeCase(part)) << recordName(k) << ": " << n;
                if (dot == std::string::npos) break;
                start = dot + 1;
            }
        }
    }
    EXPECT_FALSE(withRecord(*area, RecordKind::None, [](const auto&) {}));
}

TEST(RecordArea, DrDataFieldsInLayoutOrder) {
    auto area = std::make_unique<RecordArea>();
    std::vector<std::string> names;
    area->dr_data.visit(NameCollector{names});
    std::vector<std::string> expected = {"validity_flags",
                                         "status_flags",
                                         "gps_age",
                                         "tow",
                                         "latitude",
                                         "longitude",
                                         "altitude",
                                         "heading",
                                         "speed",
                                         "delta_time",
                                         "delta_distance",
                                         "delta_heading",
                                         "position_accuracy",
                                         "altitude_accuracy",
                                         "heading_accuracy",
                                         "speed_accuracy",
                                         "delta_distance_accuracy",
                                         "delta_heading_accuracy",
                                         "gyro_number_and_dir",
                                         "gyro_count",
                                         "tacho_count"};
    EXPECT_EQ(names, expected);
}

TEST(Snapshot, IsACopyThatLaterPacketsDoNotChange) {
    auto area = std::make_unique<RecordArea>();
    std::vector<uint8_t> p(46, 0);
    p[17] = 0x00;
    p[18] = 0x40;
    RecordKind k;
    ASSERT_EQ(decode(0x30, 0x02, p.data(), p.size(), *area, &k), 0);
    RecordSnapshot s = snapshot(*area, k);
    ASSERT_TRUE(std::holds_alternative<DrDataRecord>(s));
    EXPECT_EQ(kindOf(s), RecordKind::DrData);

    p[18] = 0x20;
    ASSERT_EQ(decode(0x30, 0x02, p.data(), p.size(), *area, &k), 0);
    EXPECT_EQ(area->dr_data.heading, 0x2000);
    EXPECT_EQ(std::get<DrDataRecord>(s).heading, 0x4000);
}

TEST(Snapshot, OwnsItsVariableLengthData) {
    auto area = std::make_unique<RecordArea>();
    auto block = bytes("01 02 03 04 05");
    RecordKind k;
    ASSERT_EQ(decode(0x15, 0x10, block.data(), block.size(), *area, &k), 0);
    RecordSnapshot s = snapshot(*area, k);
    auto other = bytes("09 09");
    ASSERT_EQ(decode(0x15, 0x11, other.data(), other.size(), *area, &k), 0);
    const auto& copy = std::get<CustomerDataRecord>(s);
    EXPECT_EQ(copy.block, 0x10);
    EXPECT_EQ(copy.data, block);
    EXPECT_NE(copy.data.data(), area->customer_data.data.data());

    auto levels = bytes("02 14 28");
    ASSERT_EQ(decode(0x26, 0x03, levels.data(), levels.size(), *area, &k), 0);
    RecordSnapshot d = snapshot(*area, k);
    area->dpp_model.levels.clear();
    EXPECT_EQ(std::get<DppModelRecord>(d).levels, (std::vector<uint8_t>{0x14, 0x28}));
}

TEST(Snapshot, KindMatchesTheVariantAlternativeForEveryKind) {
    auto area = std::make_unique<RecordArea>();
    for (RecordKind k : allKinds()) {
        RecordSnapshot s = snapshot(*area, k);
        EXPECT_EQ(kindOf(s), k) << recordName(k);
    }
    RecordSnapshot none = snapshot(*area, RecordKind::None);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(none));
    EXPECT_EQ(kindOf(none), RecordKind::None);
}

TEST(Snapshot, TheThreeTimeReportsAreThreeRecords) {
    auto area = std::make_unique<RecordArea>();
    std::vector<uint8_t> p2(14, 0x22), p3(15, 0x33), p1(18, 0x11);
    RecordKind k2, k3, k1;
    ASSERT_EQ(decode(0x32, 0x02, p2.data(), p2.size(), *area, &k2), 0);
    ASSERT_EQ(decode(0x32, 0x03, p3.data(), p3.size(), *area, &k3), 0);
    ASSERT_EQ(decode(0x32, 0x01, p1.data(), p1.size(), *area, &k1), 0);
    EXPECT_EQ(std::get<ConstellationSummaryRecord>(snapshot(*area, k2)).dimension, 0x22);
    EXPECT_EQ(std::get<TimeSummaryRecord>(snapshot(*area, k3)).utc_offset, 0x33);
    EXPECT_EQ(std::get<TimeConstellationRecord>(snapshot(*area, k1)).utc_offset, 0x11);
}

} // namespace
