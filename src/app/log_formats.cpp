#include "app/log_formats.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>

namespace vx {

// ---- Number formatting ----------------------------------------------------------------------
//
// A log line is written straight into memory that has room for it: the digits of a number are
// put together in a register from a table of four-digit groups and stored at once, fixed-point
// numbers are rounded in double arithmetic that is exact, and nothing is allocated per field
// or per line. No printf: a day-long recording becomes millions of lines. Most fields have a
// varying number of digits; their length is computed without branching, because the values
// of neighbouring lines vary too much for branch prediction.
//
// The integer writers store eight bytes at a time: up to seven bytes after a number's end may
// be overwritten (the next field, or the line end, overwrites them in turn). Every caller has
// that much room (kNumberSlack) past the longest text it writes.

namespace {

constexpr size_t kNumberSlack = 8;

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233"
    "34353637383940414243444546474849505152535455565758596061626364656667"
    "6869707172737475767778798081828384858687888990919293949596979899";

constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
constexpr uint32_t kPow10u[] = {1,      10,      100,      1000,      10000,
                                100000, 1000000, 10000000, 100000000, 1000000000};

// The four digits of every number below 10^4 ("0000" to "9999"), the first in the low byte.
struct FourDigitTable {
    uint32_t digits[10000];
};
constexpr FourDigitTable kFourDigits = [] {
    FourDigitTable t{};
    for (uint32_t v = 0; v < 10000; ++v) {
        t.digits[v] = (uint32_t('0' + v / 1000)) | uint32_t('0' + v / 100 % 10) << 8 |
                      uint32_t('0' + v / 10 % 10) << 16 | uint32_t('0' + v % 10) << 24;
    }
    return t;
}();

// The five digits of v < 100000, zero-padded, the first in the lowest byte of the word.
inline uint64_t fiveDigits(uint32_t v) {
    const uint32_t high = v / 10000;
    return uint64_t('0' + high) | uint64_t(kFourDigits.digits[v - high * 10000]) << 8;
}

// The number of leading zero digits of a fiveDigits word, at most 4 (a zero keeps its digit).
inline int leadingZeroDigits(uint64_t w) {
    return std::countr_zero((w ^ 0x3030303030u) | (uint64_t(1) << 32)) >> 3;
}

// The eight digits of v < 10^8, zero-padded, the first in the lowest byte of the word.
inline uint64_t eightDigits(uint32_t v) {
    const uint32_t high = v / 10000;
    return uint64_t(kFourDigits.digits[high]) | uint64_t(kFourDigits.digits[v - high * 10000])
                                                    << 32;
}
constexpr uint64_t kEightZeros = 0x3030303030303030u;

// Stores the eight bytes of w at p, the lowest byte first, on any byte order.
inline void storeWord(char* p, uint64_t w) {
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    std::memcpy(p, &w, 8);
}

// The two digits of v < 100.
inline void put2(char* p, unsigned v) {
    std::memcpy(p, kDigitPairs + 2 * v, 2);
}

// Exactly five digits of v < 100000, zero-padded.
inline char* put5(char* p, uint32_t v) {
    storeWord(p, fiveDigits(v));
    return p + 5;
}

// "%u" of v < 100000.
inline char* putUpTo5(char* p, uint32_t v) {
    const uint64_t w = fiveDigits(v);
    const int zeros = leadingZeroDigits(w);
    storeWord(p, w >> (8 * zeros));
    return p + 5 - zeros;
}

// Exactly eight digits of v < 10^8, zero-padded.
inline char* put8(char* p, uint32_t v) {
    storeWord(p, eightDigits(v));
    return p + 8;
}

// Exactly N digits of v < 10^N, zero-padded.
template <int N> inline char* putExactly(char* p, uint32_t v) {
    static_assert(N >= 0 && N <= 9);
    if constexpr (N == 0) {
        return p;
    } else if constexpr (N == 1) {
        *p = char('0' + v);
        return p + 1;
    } else if constexpr (N == 2) {
        put2(p, v);
        return p + 2;
    } else if constexpr (N == 5) {
        return put5(p, v);
    } else if constexpr (N >= 8) {
        return put8(putExactly<N - 8>(p, v / 100000000), v % 100000000);
    } else if constexpr (N > 5) {
        return put5(putExactly<N - 5>(p, v / 100000), v % 100000);
    } else {
        *p = char('0' + v / kPow10u[N - 1]);
        return putExactly<N - 1>(p + 1, v % kPow10u[N - 1]);
    }
}

// "%u" of v < 10^8.
inline char* putUpTo8(char* p, uint32_t v) {
    const uint64_t w = eightDigits(v);
    const int zeros = std::countr_zero((w ^ kEightZeros) | uint64_t(1) << 56) >> 3;
    storeWord(p, w >> (8 * zeros));
    return p + 8 - zeros;
}

// "%u" of v.
inline char* putU32(char* p, uint32_t v) {
    if (v < 100000) return putUpTo5(p, v);
    if (v < 100000000) return putUpTo8(p, v);
    return put8(putUpTo5(p, v / 100000000), v % 100000000);
}

inline char* putU64(char* p, uint64_t v) {
    if (v <= 0xFFFFFFFFu) return putU32(p, uint32_t(v));
    // The part above the last eight digits is at least 42: it has no leading zeros.
    return put8(putU64(p, v / 100000000), uint32_t(v % 100000000));
}

// "%d" of v.
inline char* putI32(char* p, int32_t v) {
    *p = '-';
    p += v < 0 ? 1 : 0;
    return putU32(p, v < 0 ? 0u - uint32_t(v) : uint32_t(v));
}

// "%02d" of v < 1000 (one byte).
inline char* putU8Width2(char* p, unsigned v) {
    const int zeros = v >= 100 ? 2 : 3;
    storeWord(p, fiveDigits(v) >> (8 * zeros));
    return p + 5 - zeros;
}

int decimalDigits(uint64_t v) {
    int n = 1;
    for (; v >= 10; v /= 10) ++n;
    return n;
}

// Writes the digits of v, zero-padded to width, and returns the end.
inline char* putUnsigned(char* p, uint64_t v, int width) {
    for (int i = width > 1 ? decimalDigits(v) : width; i < width; ++i) *p++ = '0';
    return putU64(p, v);
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
    // y is v * 10^P rounded to a double. Adding and taking away 1.5 * 2^52 rounds it to an
    // integer, to the nearest and on a half to the even one; both steps are exact otherwise.
    constexpr double kRound = 0x1.8p52;
    double r = (y + kRound) - kRound;
    if (std::fabs(y - r) == 0.5) {
        // y lies on a half: the rounding error of the product decides, or, when the product
        // is exact, the even neighbour (which r is).
        const double e = std::fma(v, scale, -y);
        if (e != 0) r = e > 0 ? y + 0.5 : y - 0.5;
    }
    *p = '-';
    p += std::signbit(v) ? 1 : 0;
    const auto m = uint64_t(std::fabs(r));
    if constexpr (P == 0) {
        return putU64(p, m);
    } else {
        constexpr uint64_t unit = kPow10u[P];
        const uint64_t whole = m / unit;
        if (whole < 10) { // angles, headings, dilutions: one digit before the point
            p[0] = char('0' + whole);
            p[1] = '.';
            p += 2;
        } else {
            p = putU64(p, whole);
            *p++ = '.';
        }
        return putExactly<P>(p, uint32_t(m - whole * unit));
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

// "%d," for each of the eight bits of a byte, low bit first ("1,0,1,0,0,1,0,1,"); the first
// eight characters are the low four bits.
struct BitFieldTexts {
    char text[256][16];
};
constexpr BitFieldTexts kBitFields = [] {
    BitFieldTexts t{};
    for (int v = 0; v < 256; ++v) {
        for (int b = 0; b < 8; ++b) {
            t.text[v][2 * b] = char('0' + ((v >> b) & 1));
            t.text[v][2 * b + 1] = ',';
        }
    }
    return t;
}();

inline char* putSeparator(char* p) {
    std::memcpy(p, ", ", 2);
    return p + 2;
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
        room(20 + kNumberSlack + size_t(std::max(width, 0)));
        p_ = putUnsigned(p_, v, width);
        return *this;
    }
    Cursor& i(int64_t v, int width = 0) {
        room(21 + kNumberSlack + size_t(std::max(width, 0)));
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

char* putFastFixLogLine(char* p, const DrDataRecord& r) {
    // Validity bits 0..7 and status bits 0..3: "%d," each.
    std::memcpy(p, kBitFields.text[r.validity_flags], 16);
    std::memcpy(p + 16, kBitFields.text[r.status_flags & 15], 8);
    p += 24;
    p[0] = char('0' + ((r.status_flags >> 4) & 3)); // time source
    p[1] = ',';
    p[2] = ' ';
    p[3] = (r.status_flags & 0x40) ? '0' : '1'; // snapped: position source clear
    p[4] = ',';
    p = putSeparator(putU8Width2(p + 5, r.gps_age));
    p = putSeparator(putU32(p, r.tow));
    p = putSeparator(putFixed<9>(p, radiansOf(r.longitude)));
    p = putSeparator(putFixed<9>(p, radiansOf(r.latitude)));
    p = putSeparator(putI32(p, r.altitude));
    p = putSeparator(putU32(p, r.heading));
    p = putSeparator(putU32(p, r.speed));
    p = putSeparator(putU32(p, r.delta_time));
    p = putSeparator(putI32(p, r.delta_distance));
    p = putSeparator(putI32(p, r.delta_heading));
    p = putSeparator(putU32(p, r.position_accuracy));
    p = putSeparator(putU32(p, r.altitude_accuracy));
    p = putSeparator(putU32(p, r.heading_accuracy));
    p = putSeparator(putU32(p, r.speed_accuracy));
    p = putSeparator(putU32(p, r.delta_distance_accuracy));
    p = putSeparator(putU32(p, r.delta_heading_accuracy));
    p = putSeparator(putU32(p, r.gyroSamples()));
    p[0] = r.dirSwitchHigh() ? '1' : '0';
    p[1] = ',';
    p = putU32(p + 2, r.gyro_count);
    *p++ = ',';
    return putU32(p, r.tacho_count);
}

void appendFastFixLogLine(std::string& out, const DrDataRecord& r) {
    const size_t at = out.size();
    out.resize(at + kFastFixLineRoom);
    char* end = putFastFixLogLine(out.data() + at, r);
    out.resize(size_t(end - out.data()));
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
    calibrationFilled_ = 0;
}

bool OneHzLine::complete() const {
    return (!sel_.fix3101 || have3101_) && (!sel_.time3201 || have3201_) &&
           (!sel_.channels3301 || channelSlots_ == kChannelSlots);
}

bool OneHzLine::addFix(uint8_t subcode, const GpsFixRecord& r) {
    if (!sel_.fix3101 || subcode != 0x01) return false;
    fix_ = r;
    have3101_ = true;
    return complete();
}

bool OneHzLine::addTime(const TimeConstellationRecord& r) {
    if (!sel_.time3201) return false;
    time_ = r;
    have3201_ = true;
    return complete();
}

bool OneHzLine::addChannel(uint8_t subcode, const ChannelStatusRecord& r) {
    if (!sel_.channels3301 || subcode != 0x01 || channelSlots_ >= kChannelSlots) return false;
    channels_[size_t(channelSlots_++)] = r;
    return complete();
}

bool OneHzLine::addCalibration(const DrCalibrationRecord& r) {
    if (!sel_.calibration36) return false;
    const int slot = calibrationSlotOf(r);
    if (slot < 0) return false;
    calibration_[size_t(slot)] = r;
    calibrationFilled_ |= uint8_t(1u << slot);
    return complete();
}

void OneHzLine::takeLine(std::string& out) {
    if (sel_.fix3101) appendFix3101Part(out, fix_);
    if (sel_.time3201) appendTime3201Part(out, time_);
    if (sel_.channels3301)
        for (int i = 0; i < channelSlots_; ++i) appendChannel3301Slot(out, channels_[size_t(i)]);
    if (sel_.calibration36) {
        for (int i = 0; i < kCalibrationSlots; ++i) {
            if (calibrationFilled_ & (1u << i)) {
                appendCalibrationSlot(out, calibration_[size_t(i)]);
            } else {
                out += emptyCalibrationSlot(i);
            }
        }
    }
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

// ---- Binary packet logs -----------------------------------------------------------------------

const uint8_t* FrameClassifier::countFrameBytes(const uint8_t* p, const uint8_t* end,
                                                bool& tooLong) {
    tooLong = false;
    if (length_ + size_t(end - p) < kMaxRxFrame) {
        // The limit is out of reach: no branch per byte. The second byte of an escape pair
        // is the byte after an escape that is not itself one.
        const uint8_t* q = p;
        size_t seconds = 0;
        bool escaped = escaped_;
        for (; q < end && *q != 0x82 && *q != 0x81; ++q) {
            const bool second = escaped;
            escaped = !second && *q == 0x80;
            seconds += second;
        }
        length_ += size_t(q - p) - seconds;
        escaped_ = escaped;
        return q;
    }
    for (; p < end && *p != 0x82 && *p != 0x81; ++p) {
        if (escaped_) {
            escaped_ = false; // the second byte of an escape pair counts with the first
            continue;
        }
        escaped_ = *p == 0x80;
        if (++length_ == kMaxRxFrame) {
            tooLong = true;
            return p + 1;
        }
    }
    return p;
}

} // namespace vx
