// JSON and text forms of decoded records.
#include "link/decoders.h"
#include "link/record_format.h"
#include "support/hex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace vx;
using vxtest::bytes;

namespace {

// A small strict JSON reader (RFC 8259 grammar), enough to check the writer's output.
struct Json {
    enum Type { Null, Number, String, Array, Object, Bool } type = Null;
    std::string text; // number as written, or the decoded string
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;

    const Json& operator[](const std::string& key) const {
        for (const auto& m : members)
            if (m.first == key) return m.second;
        static const Json missing;
        ADD_FAILURE() << "no member " << key;
        return missing;
    }
};

class JsonReader {
public:
    explicit JsonReader(const std::string& s) : s_(s) {}
    bool parse(Json& out) {
        ws();
        if (!value(out)) return false;
        ws();
        return i_ == s_.size();
    }

private:
    void ws() {
        while (i_ < s_.size() && std::strchr(" \t\r\n", s_[i_])) ++i_;
    }
    bool lit(const char* w) {
        size_t n = std::strlen(w);
        if (s_.compare(i_, n, w) != 0) return false;
        i_ += n;
        return true;
    }
    bool value(Json& v) {
        if (i_ >= s_.size()) return false;
        char c = s_[i_];
        if (c == '{') return object(v);
        if (c == '[') return array(v);
        if (c == '"') {
            v.type = Json::String;
            return string(v.text);
        }
        if (lit("null")) return v.type = Json::Null, true;
        if (lit("true") || lit("false")) return v.type = Json::Bool, true;
        return number(v);
    }
    bool number(Json& v) {
        size_t start = i_;
        if (i_ < s_.size() && s_[i_] == '-') ++i_;
        if (i_ >= s_.size() || !isdigit(s_[i_])) return false;
        if (s_[i_] == '0')
            ++i_;
        else
            while (i_ < s_.size() && isdigit(s_[i_])) ++i_;
        if (i_ < s_.size() && s_[i_] == '.') {
            ++i_;
            if (i_ >= s_.size() || !isdigit(s_[i_])) return false;
            while (i_ < s_.size() && isdigit(s_[i_])) ++i_;
        }
        if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
            ++i_;
            if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
            if (i_ >= s_.size() || !isdigit(s_[i_])) return false;
            while (i_ < s_.size() && isdigit(s_[i_])) ++i_;
        }
        v.type = Json::Number;
        v.text = s_.substr(start, i_ - start);
        return true;
    }
    bool string(std::string& out) {
        ++i_; // opening quote
        while (i_ < s_.size()) {
            unsigned char c = s_[i_++];
            if (c == '"') return true;
            if (c < 0x20) return false; // raw control characters are not allowed
            if (c != '\\') {
                out += char(c);
                continue;
            }
            if (i_ >= s_.size()) return false;
            char e = s_[i_++];
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                if (i_ + 4 > s_.size()) return false;
                unsigned cp = 0;
                for (int k = 0; k < 4; ++k) {
                    char h = s_[i_++];
                    if (!isxdigit(h)) return false;
                    cp = cp * 16 + unsigned(isdigit(h) ? h - '0' : (tolower(h) - 'a' + 10));
                }
                if (cp > 0xFF) return false; // the writer only escapes single bytes
                out += char(cp);
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }
    bool array(Json& v) {
        v.type = Json::Array;
        ++i_;
        ws();
        if (i_ < s_.size() && s_[i_] == ']') return ++i_, true;
        for (;;) {
            Json item;
            ws();
            if (!value(item)) return false;
            v.items.push_back(std::move(item));
            ws();
            if (i_ >= s_.size()) return false;
            if (s_[i_] == ']') return ++i_, true;
            if (s_[i_++] != ',') return false;
        }
    }
    bool object(Json& v) {
        v.type = Json::Object;
        ++i_;
        ws();
        if (i_ < s_.size() && s_[i_] == '}') return ++i_, true;
        for (;;) {
            ws();
            if (i_ >= s_.size() || s_[i_] != '"') return false;
            std::string key;
            if (!string(key)) return false;
            ws();
            if (i_ >= s_.size() || s_[i_++] != ':') return false;
            ws();
            Json item;
            if (!value(item)) return false;
            v.members.emplace_back(std::move(key), std::move(item));
            ws();
            if (i_ >= s_.size()) return false;
            if (s_[i_] == '}') return ++i_, true;
            if (s_[i_++] != ',') return false;
        }
    }

    const std::string& s_;
    size_t i_ = 0;
};

Json parseJson(const std::string& s) {
    Json j;
    EXPECT_TRUE(JsonReader(s).parse(j)) << s;
    return j;
}

class Format : public ::testing::Test {
protected:
    std::unique_ptr<RecordArea> area = std::make_unique<RecordArea>();

    RecordKind dec(uint8_t code, uint8_t sub, const std::vector<uint8_t>& p) {
        RecordKind k = RecordKind::None;
        EXPECT_EQ(decode(code, sub, p.data(), p.size(), *area, &k), 0);
        return k;
    }
    std::string json(RecordKind k) {
        std::string s;
        writeRecordJson(s, *area, k);
        return s;
    }
    std::string text(RecordKind k) {
        std::string s;
        writeRecordText(s, *area, k);
        return s;
    }
};

TEST_F(Format, ExactJsonOfSmallRecords) {
    EXPECT_EQ(json(dec(0x21, 0x01, bytes("0A"))), R"({"rate":10})");
    EXPECT_EQ(json(dec(0x10, 0x01, bytes("21 01 00"))),
              R"({"acked_code":33,"acked_subcode":1,"index":128,"result":0})");
    EXPECT_EQ(json(dec(0x26, 0x04, bytes("03 14 28 FF"))), R"({"count":3,"levels":[20,40,255]})");
    EXPECT_EQ(json(dec(0x33, 0x01, bytes("00 01 01 00 00 A6 00"))),
              R"({"channel":0,"sv":1,"status":1,"snr":0,"azimuth":0,"elevation":-90,"mode":0})");
    EXPECT_EQ(json(RecordKind::None), "{}");
}

TEST_F(Format, JsonNumbersRoundTrip) {
    // 0.1f is written as 0.1, not with the nine digits of "%.9g".
    float f = 0.1f;
    uint8_t fb[4];
    std::memcpy(fb, &f, 4); // little-endian host
    std::string s = json(dec(0x24, 0x04, {fb[0], fb[1], fb[2], fb[3]}));
    EXPECT_NE(s.find(R"("elevation_mask":0.1,)"), std::string::npos) << s;

    // Random float bit patterns: what is written reads back to the same float, or is null
    // for NaN and infinities.
    uint32_t seed = 99;
    for (int i = 0; i < 2000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        uint32_t bits = seed;
        float v;
        std::memcpy(&v, &bits, 4);
        std::vector<uint8_t> q = {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16),
                                  uint8_t(bits >> 24)};
        Json j = parseJson(json(dec(0x25, 0x07, q)));
        const Json& field = j["max_acc"];
        if (!std::isfinite(v)) {
            EXPECT_EQ(field.type, Json::Null);
        } else {
            ASSERT_EQ(field.type, Json::Number);
            EXPECT_EQ(std::strtof(field.text.c_str(), nullptr), v) << field.text;
        }
    }
}

TEST_F(Format, DoublesRoundTripAndNonFiniteIsNull) {
    std::vector<uint8_t> p(43, 0);
    double d = 1.0 / 3.0;
    std::memcpy(p.data() + 7, &d, 8); // little-endian host
    double inf = std::numeric_limits<double>::infinity();
    std::memcpy(p.data() + 20, &inf, 8);
    double nan = std::numeric_limits<double>::quiet_NaN();
    std::memcpy(p.data() + 28, &nan, 8);
    Json j = parseJson(json(dec(0x70, 0x16, p)));
    EXPECT_EQ(std::strtod(j["drift"].text.c_str(), nullptr), d);
    EXPECT_EQ(j["drift_high"].type, Json::Null);
    EXPECT_EQ(j["drift_low"].type, Json::Null);
}

TEST_F(Format, JsonTextEscapesControlAndNonAsciiBytes) {
    std::vector<uint8_t> hw = {'A', '"', 'B', '\\', 0x01, '\n', 0x7F, 0xFF, 'z'};
    EXPECT_EQ(json(dec(0x12, 0x04, hw)), R"({"text":"A\"B\\\u0001\n\u007F\u00FFz"})");
    Json j = parseJson(json(dec(0x12, 0x04, hw)));
    EXPECT_EQ(j["text"].text, std::string(hw.begin(), hw.end()));

    // Debug text keeps every byte, zero bytes included.
    std::vector<uint8_t> dbg = {0x01, 0x00, 0x10, 0x27};
    Json d = parseJson(json(dec(0x70, 0x12, dbg)));
    EXPECT_EQ(d["text"].text, std::string("\0\x10\x27", 3));
}

TEST_F(Format, NestedRecordsAndArrays) {
    std::vector<uint8_t> p = {0x01, 0x01, 0x02, 0x2C, 0x01, 0x05, 0x00, 0x06};
    Json j = parseJson(json(dec(0x70, 0x15, p)));
    ASSERT_EQ(j["tasks"].type, Json::Array);
    ASSERT_EQ(j["tasks"].items.size(), 1u); // only the tasks the count names
    EXPECT_EQ(j["tasks"].items[0]["stack_used"].text, "513");
    EXPECT_EQ(j["tasks"].items[0]["buffer_used"].text, "300");
    EXPECT_EQ(j["tasks"].items[0]["message_count"].text, "5");
    EXPECT_EQ(j["tasks"].items[0]["failure_count"].text, "6");

    std::vector<uint8_t> s(26, 0);
    s[5] = 2;
    Json ds = parseJson(json(dec(0x70, 0x20, s)));
    EXPECT_EQ(ds["nav"]["major"].text, "2");
    EXPECT_EQ(ds["io"].type, Json::Object);
}

// Every record, after random payloads of many lengths, writes a JSON object whose members
// are the visitor's fields in order.
TEST_F(Format, EveryRecordWritesValidJson) {
    // Every length some decoder requires, plus the empty and the longest payload.
    static const size_t kLengths[] = {0,  1,  2,  3,  4,  5,  7,  8,   9,
                                      10, 11, 12, 13, 14, 15, 16, 17,  18,
                                      21, 25, 26, 27, 28, 46, 50, 101, kMaxPayload};
    uint32_t seed = 7;
    int checked = 0;
    std::set<RecordKind> kinds;
    for (int code = 0x10; code <= 0x70; ++code) {
        for (int sub = 0; sub < 0x80; ++sub) {
            for (size_t n : kLengths) {
                std::vector<uint8_t> p(n);
                for (auto& b : p) {
                    seed = seed * 1664525u + 1013904223u;
                    b = uint8_t(seed >> 24);
                }
                RecordKind k = RecordKind::None;
                if (decode(uint8_t(code), uint8_t(sub), p.data(), n, *area, &k) != 0) continue;
                if (k == RecordKind::None) continue;
                kinds.insert(k);
                std::string s = json(k);
                Json j;
                ASSERT_TRUE(JsonReader(s).parse(j)) << recordName(k) << ": " << s;
                ASSERT_EQ(j.type, Json::Object);
                std::vector<std::string> keys;
                for (const auto& m : j.members) keys.push_back(m.first);
                std::vector<std::string> expected;
                withRecord(*area, k, [&](const auto& r) {
                    r.visit([&](const char* name, const auto&) { expected.push_back(name); });
                });
                ASSERT_EQ(keys, expected) << recordName(k);
                ++checked;
            }
        }
    }
    for (int k = 1; k < int(std::variant_size_v<RecordSnapshot>); ++k)
        EXPECT_TRUE(kinds.count(RecordKind(k))) << recordName(RecordKind(k));
    EXPECT_GT(checked, 1000);
}

TEST_F(Format, SnapshotWritesLikeTheArea) {
    RecordKind k = dec(0x30, 0x02, std::vector<uint8_t>(46, 0x81));
    RecordSnapshot s = snapshot(*area, k);
    std::string fromSnapshot, fromText;
    writeRecordJson(fromSnapshot, s);
    EXPECT_EQ(fromSnapshot, json(k));
    writeRecordText(fromText, s);
    EXPECT_EQ(fromText, text(k));
    std::string none;
    writeRecordJson(none, RecordSnapshot{});
    EXPECT_EQ(none, "{}");
}

TEST_F(Format, WritersAppend) {
    std::string s = "prefix ";
    writeRecordJson(s, *area, dec(0x21, 0x01, bytes("05")));
    EXPECT_EQ(s, R"(prefix {"rate":5})");
    s = "x";
    writeRecordText(s, *area, RecordKind::EngineRate);
    EXPECT_EQ(s, "xrate=5");
}

TEST_F(Format, TextFormShowsCodesAndFlagsInHex) {
    EXPECT_EQ(text(dec(0x2E, 0x01, bytes("70 03"))), "event_code=0x70 mask=3");
    EXPECT_EQ(text(dec(0x10, 0x02, bytes("24 05 03 05"))),
              "acked_code=0x24 acked_subcode=0x05 index=3 result=5");
    EXPECT_EQ(text(dec(0x22, 0x02, bytes("01 00 00 01 19"))), "interval=1 message_mask=0x00000119");
    EXPECT_EQ(text(dec(0x26, 0x04, bytes("02 14 FF"))), "count=2 levels=14FF");
    EXPECT_EQ(text(dec(0x12, 0x04, std::vector<uint8_t>{'H', ' ', 'W'})), R"(text="H W")");
    EXPECT_EQ(text(RecordKind::None), "");
}

TEST_F(Format, TextFormOfNestedRecordsAndRealArrays) {
    std::vector<uint8_t> s(26, 0);
    s[5] = 2;
    std::string t = text(dec(0x70, 0x20, s));
    EXPECT_NE(t.find("rom_checksum=0 nav.major=2 nav.minor=0"), std::string::npos) << t;
    EXPECT_NE(t.find("io.year=0"), std::string::npos) << t;

    std::vector<uint8_t> tu = {0x02, 0x01, 0, 0, 0, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0};
    std::string u = text(dec(0x70, 0x15, tu));
    EXPECT_EQ(u.find("count=2 tasks[0].stack_used=1 "), 0u) << u;
    EXPECT_NE(u.find("tasks[1].stack_used=2 "), std::string::npos) << u;

    std::vector<uint8_t> cal = {0x01, 0x02, 0, 0, 0, 0, 0, 0, 0xC0, 0x3F, 0, 0, 0x20, 0x40};
    std::string c = text(dec(0x70, 0x0E, cal));
    EXPECT_NE(c.find("raw=[1.5,2.5]"), std::string::npos) << c;
}

} // namespace
