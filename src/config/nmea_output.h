// The console's NMEA output: GGA sentences built from the receiver's VEXOR reports and written
// to a second serial port, so that NMEA software (gpsd, a chart plotter) can follow the
// receiver.
//
// - ggaSentence builds one sentence from its fields. Angles convert with P, as the receiver's
//   own tools do; minutes that round up to 60 carry into the degrees.
// - NmeaFeed keeps what the reports say: the position, altitude and validity of the last 3002
//   and, on each 3201, its time, visible satellites and HDOP; every 3201 gives one sentence,
//   once a 3002 has come since output was switched on.
// - NmeaPortWriter writes sentences without ever waiting for the port: a sentence the port's
//   buffer cannot take is dropped and counted, and at most the unwritten tail of one sentence
//   is kept for the next write, so what goes out is always whole sentences.
#pragma once

#include "link/records.h"
#include "link/serial_port.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vx {

// The receiver's own NMEA output (2202): the message mask's bits, as the window lists them.
struct NmeaMessageBit {
    const char* name;    // the check box
    const char* caption; // the sentence
    uint32_t bit;
};
inline constexpr NmeaMessageBit kNmeaMessages[] = {
    {"CheckBox0", "GGA", 1u << 0}, {"CheckBox1", "GSA", 1u << 4}, {"CheckBox2", "GSV", 1u << 3},
    {"CheckBox3", "RMC", 1u << 8}, {"CheckBox4", "VTG", 1u << 2},
};

struct GgaFields {
    uint8_t hour = 0, minute = 0, second = 0;
    int32_t latitude = 0;  // 2^-31 semicircle
    int32_t longitude = 0; // 2^-31 semicircle
    int32_t altitude = 0;  // metres
    bool positionValid = true;
    std::optional<int> satellites; // empty fields when not known
    std::optional<double> hdop;
};

// "$GPGGA,hhmmss.00,DDMM.mmm,N,DDDMM.mmm,E,q,ss,h.h,aaaaa,M,,M,,*cs\r\n"; the checksum in two
// lower-case hex digits.
std::string ggaSentence(const GgaFields& f);

// Degrees and thousandths of minutes of a wire angle (P), minutes carried into the degrees;
// for tests and the sentence.
struct DegreesMinutes {
    bool negative = false;
    int degrees = 0;
    int minutes = 0;
    int thousandths = 0;
};
DegreesMinutes latitudeDm(int32_t wire);
DegreesMinutes longitudeDm(int32_t wire); // first brought into [-180, 180)

class NmeaFeed {
public:
    // Output switched on: nothing is written before the next 3002.
    void restart() { *this = NmeaFeed{}; }
    void position(const DrDataRecord& r);
    // The sentence this 3201 gives, or nothing before the first 3002 since restart().
    std::optional<std::string> time(const TimeConstellationRecord& r);

private:
    GgaFields fields_;
    bool havePosition_ = false;
};

class NmeaPortWriter {
public:
    explicit NmeaPortWriter(std::unique_ptr<SerialPort> port) : port_(std::move(port)) {}

    int open(const std::string& path, const PortConfig& config, std::string* reason);
    void close();
    bool isOpen() const { return port_->isOpen(); }

    // Writes a sentence without waiting. False when it was dropped (the port's buffer full, or
    // the port refused it).
    bool write(std::string_view sentence);
    uint64_t written() const { return written_; }
    uint64_t dropped() const { return dropped_; }

private:
    std::unique_ptr<SerialPort> port_;
    std::string tail_; // the part of the last sentence the port has not taken yet
    uint64_t written_ = 0;
    uint64_t dropped_ = 0;
};

} // namespace vx
