#include "app/log_formats.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>

namespace vx {

// ---- Number formatting ----------------------------------------------------------------------
//
// A log line is written through a Cursor: the string grows by the most the next field can
// take, the digits go straight into it, and it is cut to what was written at the end. No
// printf and no append per digit: a day-long recording becomes millions of lines.

namespace {

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233"
    "34353637383940414243444546474849505152535455565758596061626364656667"
    "6869707172737475767778798081828384858687888990919293949596979899";

constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

inline int decimalDigits(uint32_t v) {
    if (v < 10) return 1;
    if (v < 100) return 2;
    if (v < 1000) return 3;
    if (v < 10000) return 4;
    if (v < 100000) return 5;
    if (v < 1000000) return 6;
    if (v < 10000000) return 7;
    if (v < 100000000) return 8;
    return v < 1000000000 ? 9 : 10;
}

// Writes the len digits of v ending at end.
template <class U> inline void putDigitsBackwards(char* end, U v) {
    while (v >= 100) {
        const auto r = unsigned(v % 100);
        v /= 100;
        end -= 2;
        end[0] = kDigitPairs[2 * r];
        end[1] = kDigitPairs[2 * r + 1];
    }
    if (v >= 10) {
        end[-2] = kDigitPairs[2 * v];
        end[-1] = kDigitPairs[2 * v + 1];
    } else {
        end[-1] = char('0' + v);
    }
}

// Writes the digits of v, zero-padded to width, and returns the end.
inline char* putUnsigned(char* p, uint64_t v, int width) {
    int len;
    if (v <= 0xFFFFFFFFu) {
        len = decimalDigits(uint32_t(v));
    } else {
        len = 10;
        for (uint64_t rest = v / 10000000000u; rest > 0; rest /= 10) ++len;
    }
    for (int i = len; i < width; ++i) *p++ = '0';
    char* const end = p + len;
    if (v <= 0xFFFFFFFFu) {
        putDigitsBackwards(end, uint32_t(v));
    } else {
        putDigitsBackwards(end, v);
    }
    return end;
}

// Writes exactly n digits of v (v < 10^n), zero-padded, and returns the end.
inline char* putDigitsExactly(char* p, uint32_t v, int n) {
    char* const end = p + n;
    char* t = end;
    for (; n >= 2; n -= 2) {
        const unsigned r = v % 100;
        v /= 100;
        t -= 2;
        t[0] = kDigitPairs[2 * r];
        t[1] = kDigitPairs[2 * r + 1];
    }
    if (n == 1) t[-1] = char('0' + v);
    return end;
}

// printf pads the digits and the sign together: "%02d" of -5 is "-5", "%03d" of -5 "-05".
char* putSigned(char* p, int64_t v, int width) {
    if (v >= 0) return putUnsigned(p, uint64_t(v), width);
    *p++ = '-';
    return putUnsigned(p, uint64_t(0) - uint64_t(v), width - 1);
}

// The most "%.*f" writes for a double: sign, 309 integer digits, point, the decimals.
constexpr size_t kMaxFixedChars = 1 + 309 + 1 + 9 + 8;

// "%.<P>f" of v (P = 0..9), as the C library prints it: the exact binary value rounded to
// the nearest, ties to even. Values whose scaled form fits an integer take the fast way; the
// others (and nan, inf) go through std::to_chars, which gives the same text.
template <int P> char* putFixed(char* p, double v) {
    static_assert(P >= 0 && P <= 9);
    constexpr double scale = kPow10[P];
    const double y = v * scale;
    if (!(std::fabs(y) < 0x1p51)) {
        auto r = std::to_chars(p, p + kMaxFixedChars, v, std::chars_format::fixed, P);
        return r.ptr;
    }
    // y is v * 10^P rounded to a double; its integer part and fraction are exact.
    auto n = int64_t(y); // toward zero
    const double f = y - double(n);
    const int64_t away = y < 0 ? -1 : 1;
    if (std::fabs(f) > 0.5) {
        n += away;
    } else if (std::fabs(f) == 0.5) {
        // y lies on a half: the rounding error of the product decides, or, when the product
        // is exact, the even neighbour.
        const double e = std::fma(v, scale, -y);
        if (e == 0) {
            if (n % 2 != 0) n += away;
        } else if ((e > 0) == (away > 0)) {
            n += away;
        }
    }
    if (std::signbit(v)) *p++ = '-';
    const uint64_t m = n < 0 ? uint64_t(0) - uint64_t(n) : uint64_t(n);
    if constexpr (P == 0) {
        return putUnsigned(p, m, 1);
    } else {
        constexpr auto unit = uint64_t(scale);
        p = putUnsigned(p, m / unit, 1);
        *p++ = '.';
        return putDigitsExactly(p, uint32_t(m % unit), P);
    }
}

char* putFixed(char* p, double v, int precision) {
    switch (precision) {
    case 1:
        return putFixed<1>(p, v);
    case 2:
        return putFixed<2>(p, v);
    case 5:
        return putFixed<5>(p, v);
    case 6:
        return putFixed<6>(p, v);
    case 9:
        return putFixed<9>(p, v);
    default: {
        auto r = std::to_chars(p, p + kMaxFixedChars, v, std::chars_format::fixed, precision);
        return r.ptr;
    }
    }
}

// Writes a line's fields into a string without reallocating per field.
class Cursor {
public:
    Cursor(std::string& out, size_t reserve) : out_(out) {
        const size_t at = out.size();
        out.resize(at + reserve);
        p_ = out.data() + at;
        end_ = out.data() + out.size();
    }
    ~Cursor() { out_.resize(size_t(p_ - out_.data())); }
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    Cursor& u(uint64_t v, int width = 0) {
        room(24 + size_t(width));
        p_ = putUnsigned(p_, v, width);
        return *this;
    }
    Cursor& i(int64_t v, int width = 0) {
        room(24 + size_t(width));
        p_ = putSigned(p_, v, width);
        return *this;
    }
    template <int P> Cursor& f(double v) {
        room(kMaxFixedChars);
        p_ = putFixed<P>(p_, v);
        return *this;
    }
    Cursor& f(double v, int precision) {
        room(kMaxFixedChars);
        p_ = putFixed(p_, v, precision);
        return *this;
    }
    Cursor& hex2(uint8_t v) {
        room(2);
        static constexpr char kHex[] = "0123456789ABCDEF";
        *p_++ = kHex[v >> 4];
        *p_++ = kHex[v & 15];
        return *this;
    }
    Cursor& bit(unsigned v) { // one decimal digit 0..9
        room(1);
        *p_++ = char('0' + v);
        return *this;
    }
    template <size_t N> Cursor& lit(const char (&s)[N]) {
        room(N - 1);
        std::memcpy(p_, s, N - 1);
        p_ += N - 1;
        return *this;
    }

private:
    // Grows the string when the next field might not fit (only a line of huge values).
    void room(size_t n) {
        if (size_t(end_ - p_) >= n) return;
        const size_t used = size_t(p_ - out_.data());
        out_.resize(used + n + 256);
        p_ = out_.data() + used;
        end_ = out_.data() + out_.size();
    }

    std::string& out_;
    char* p_;
    char* end_;
};

} // namespace

void appendUnsigned(std::string& out, uint64_t v, int width) {
    Cursor(out, 0).u(v, width);
}

void appendSigned(std::string& out, int64_t v, int width) {
    Cursor(out, 0).i(v, width);
}

void appendFixed(std::string& out, double v, int precision) {
    if (precision < 0 || precision > 9) return;
    Cursor(out, 0).f(v, precision);
}

void appendHex2(std::string& out, uint8_t v) {
    Cursor(out, 0).hex2(v);
}

double radiansOf(int32_t semicircleUnits) {
    return double(semicircleUnits) * std::numbers::pi / 2147483648.0;
}

// ---- 5 Hz log ---------------------------------------------------------------------------------

const std::string_view kFastFixLogHeader =
    "Position Status, Altitude Status, Heading Status, Speed Status, Direction Switch Status, "
    "Delta-Distance Status, Delta Heading Status, Motion Status, Montion Indicator, Direction, "
    "Gyro Cal Status, Tacho Cal Status, Time Source, Snap to DR-GPS, GPS Data Age Index, Time "
    "of Week, Longitude, Latitude, Altitude, Heading, Speed, Delta Time, Delta Distance, Delta "
    "Heading, Position Accuracy, Altitude Accuracy, Heading Accuracy, Speed Accuracy, Delta "
    "Distance Accuracy, Delta Heading Accuracy, # of Gyro Samples, dirSw Value, Gyro Counts, "
    "Tacho Counts";

void appendFastFixLogLine(std::string& out, const DrDataRecord& r) {
    Cursor c(out, 320);
    // Validity bits 0..7 and status bits 0..3: "%d," each.
    for (int b = 0; b < 8; ++b) c.bit((r.validity_flags >> b) & 1).lit(",");
    for (int b = 0; b < 4; ++b) c.bit((r.status_flags >> b) & 1).lit(",");
    c.bit((r.status_flags >> 4) & 3).lit(", ");      // time source
    c.bit((r.status_flags & 0x40) ? 0 : 1).lit(","); // snapped: position source clear
    c.u(r.gps_age, 2).lit(", ");
    c.u(r.tow).lit(", ");
    c.f<9>(radiansOf(r.longitude)).lit(", ");
    c.f<9>(radiansOf(r.latitude)).lit(", ");
    c.i(r.altitude).lit(", ");
    c.u(r.heading).lit(", ");
    c.u(r.speed).lit(", ");
    c.u(r.delta_time).lit(", ");
    c.i(r.delta_distance).lit(", ");
    c.i(r.delta_heading).lit(", ");
    c.u(r.position_accuracy).lit(", ");
    c.u(r.altitude_accuracy).lit(", ");
    c.u(r.heading_accuracy).lit(", ");
    c.u(r.speed_accuracy).lit(", ");
    c.u(r.delta_distance_accuracy).lit(", ");
    c.u(r.delta_heading_accuracy).lit(", ");
    c.u(r.gyroSamples()).lit(", ");
    c.bit(r.dirSwitchHigh() ? 1 : 0).lit(",");
    c.u(r.gyro_count).lit(",");
    c.u(r.tacho_count);
}

// ---- 1 Hz log ---------------------------------------------------------------------------------

const std::string_view kFix3101Header =
    "Time Of Week, Fix Source, Altitude Hold, DGPS Status, Position Status, Altitude Status, "
    "Heading Status, Speed Status, Time Source, Latitude, Longitude, Altitude, Heading, Speed, "
    "Position Accuracy, Altitude Accuracy, Heading Accuracy, Speed Accuracy, ";
const std::string_view kTime3201Header =
    "UTC Year, UTC Month, UTC Day, UTC Hour, UTC Minute, UTC Second, UTC/GPS Offset, PDOP, "
    "HDOP, VDOP, Max DGPS Age, GPS Status, Time Source, Search Mode, Almanac Status, Number of "
    "SVs Visible, ";
const std::string_view kChannel3301Header =
    "Channel Id, Sv PRN, SV Visible, SV Has Been Tracked, SV Currently Tracking, SV Meets SNR "
    "Mask, SNR, Azimuth, Elevation, Almanac Status, Ephemeris Status, ";
const std::string_view kCalibration36Header =
    "ZRO Source, Newness, Validity, ZRO, ZRO Accuracy, Linearity Source, Newness, Validity, "
    "GyroSns, GyroSns Accuracy, DS Source, Newness, Validity, DS Sense, Confidence Speed, DPP "
    "Index, Source, Newness, Validity, DPP, DPP Accuracy, DPP Index, Source, Newness, Validity, "
    "DPP, DPP Accuracy, DPP Index, Source, Newness, Validity, DPP, DPP Accuracy, ZRO Rate "
    "Source, Newness, Validity, ZRO Rate of Change, ZRO Rate Accuracy";

std::string oneHzLogHeader(const OneHzSelection& s) {
    std::string h;
    if (s.fix3101) h += kFix3101Header;
    if (s.time3201) h += kTime3201Header;
    if (s.channels3301)
        for (int i = 0; i < OneHzLine::kChannelSlots; ++i) h += kChannel3301Header;
    if (s.calibration36) h += kCalibration36Header;
    return h;
}

void appendFix3101Part(std::string& out, const GpsFixRecord& r) {
    Cursor c(out, 256);
    c.u(r.time).lit(", ");
    c.u(r.fix_flags & 0x3F, 2).lit(", ");
    c.bit((r.fix_flags >> 6) & 1).lit(", ");
    c.bit((r.fix_flags >> 7) & 1).lit(", ");
    for (int b = 0; b < 4; ++b) c.bit((r.validity_flags >> b) & 1).lit(", ");
    c.bit((r.validity_flags >> 4) & 3).lit(", ");
    c.f<9>(radiansOf(r.latitude)).lit(", ");
    c.f<9>(radiansOf(r.longitude)).lit(", ");
    c.i(r.altitude).lit(", ");
    c.f<5>(double(r.heading) / 32768.0).lit(", ");
    c.f<2>(double(r.speed)).lit(", ");
    c.u(r.position_accuracy).lit(", ");
    c.u(r.altitude_accuracy).lit(", ");
    c.f<5>(double(r.heading_accuracy) / 32768.0).lit(", ");
    c.u(r.speed_accuracy).lit(", ");
}

void appendTime3201Part(std::string& out, const TimeConstellationRecord& r) {
    Cursor c(out, 160);
    c.u(r.year, 4).lit(", ");
    for (uint8_t v : {r.date1, r.date2, r.hours, r.minutes, r.seconds}) c.u(v, 2).lit(", ");
    c.u(r.utc_offset, 3).lit(", ");
    for (int16_t dop : {r.pdop, r.hdop, r.vdop}) c.f<2>(double(dop) / 256.0).lit(", ");
    c.u(r.max_dgps_age, 3).lit(", ");
    c.u(r.gps_status & 0x0F).lit(", ");
    c.bit((r.gps_status >> 4) & 3).lit(", ");
    c.bit(r.search_mode & 3).lit(", ");
    c.bit((r.search_mode >> 7) & 1).lit(", ");
    c.u(r.visible_svs & 0x0F, 2).lit(", ");
}

void appendChannel3301Slot(std::string& out, const ChannelStatusRecord& r) {
    Cursor c(out, 96);
    c.u(r.channel, 2).lit(", ");
    c.u(r.sv, 2).lit(", ");
    for (int b : {0, 2, 4, 5}) c.bit((r.status >> b) & 1).lit(", ");
    c.f<1>(double(r.snr) * 0.2).lit(", ");
    c.u(unsigned(r.azimuth) * 2).lit(", ");
    c.i(r.elevation).lit(", ");
    c.bit(r.mode & 3).lit(", ");
    c.bit((r.mode >> 2) & 3).lit(", ");
}

int calibrationSlotOf(const DrCalibrationRecord& r) {
    switch (r.subcode) {
    case 0x03:
        return 0;
    case 0x04:
        return 1;
    case 0x05:
        return 2;
    case 0x07:
        return r.dpp_index <= 2 ? 3 + r.dpp_index : -1;
    case 0x08:
        return 6;
    default:
        return -1;
    }
}

std::string_view emptyCalibrationSlot(int slot) {
    return slot >= 3 && slot <= 5 ? ",,,,,," : ",,,,,";
}

void appendCalibrationSlot(std::string& out, const DrCalibrationRecord& r) {
    Cursor c(out, 96);
    if (r.subcode == 0x07) c.hex2(r.dpp_index).lit(", ");
    c.bit(r.status & 7).lit(", ");
    c.bit((r.status >> 3) & 1).lit(", ");
    c.bit((r.status >> 4) & 1).lit(", ");
    if (r.subcode == 0x05) {
        c.bit((r.status >> 7) & 1).lit(", ");
        c.u(r.confidence_speed).lit(", ");
    } else {
        c.f<6>(double(r.value)).lit(", ");
        c.f<6>(double(r.accuracy)).lit(", ");
    }
}

void OneHzLine::start(const OneHzSelection& selection) {
    sel_ = selection;
    emptyParts();
}

void OneHzLine::emptyParts() {
    have3101_ = have3201_ = false;
    channelSlots_ = 0;
    for (int i = 0; i < kCalibrationSlots; ++i) calibration_[size_t(i)] = emptyCalibrationSlot(i);
}

bool OneHzLine::complete() const {
    return (!sel_.fix3101 || have3101_) && (!sel_.time3201 || have3201_) &&
           (!sel_.channels3301 || channelSlots_ == kChannelSlots);
}

bool OneHzLine::addFix(uint8_t subcode, const GpsFixRecord& r) {
    if (!sel_.fix3101 || subcode != 0x01) return false;
    fix_.clear();
    appendFix3101Part(fix_, r);
    have3101_ = true;
    return complete();
}

bool OneHzLine::addTime(const TimeConstellationRecord& r) {
    if (!sel_.time3201) return false;
    time_.clear();
    appendTime3201Part(time_, r);
    have3201_ = true;
    return complete();
}

bool OneHzLine::addChannel(uint8_t subcode, const ChannelStatusRecord& r) {
    if (!sel_.channels3301 || subcode != 0x01 || channelSlots_ >= kChannelSlots) return false;
    std::string& slot = channels_[size_t(channelSlots_++)];
    slot.clear();
    appendChannel3301Slot(slot, r);
    return complete();
}

bool OneHzLine::addCalibration(const DrCalibrationRecord& r) {
    if (!sel_.calibration36) return false;
    const int slot = calibrationSlotOf(r);
    if (slot < 0) return false;
    std::string& text = calibration_[size_t(slot)];
    text.clear();
    appendCalibrationSlot(text, r);
    return complete();
}

void OneHzLine::takeLine(std::string& out) {
    if (sel_.fix3101) out += fix_;
    if (sel_.time3201) out += time_;
    if (sel_.channels3301)
        for (int i = 0; i < channelSlots_; ++i) out += channels_[size_t(i)];
    if (sel_.calibration36)
        for (const std::string& c : calibration_) out += c;
    emptyParts();
}

// ---- Raw data view ----------------------------------------------------------------------------

void appendRawChunkLine(std::string& out, const uint8_t* bytes, size_t count, bool text) {
    if (text) {
        const void* zero = std::memchr(bytes, 0, count);
        const size_t n = zero ? size_t(static_cast<const uint8_t*>(zero) - bytes) : count;
        out.append(reinterpret_cast<const char*>(bytes), n);
        return;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    const size_t at = out.size();
    out.resize(at + 3 * count);
    char* p = out.data() + at;
    for (size_t i = 0; i < count; ++i) {
        *p++ = kHex[bytes[i] >> 4];
        *p++ = kHex[bytes[i] & 15];
        *p++ = ' ';
    }
}

} // namespace vx
