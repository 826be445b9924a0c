// The NMEA output window on the simulated receiver: GGA sentences on a second pseudo-terminal
// while output is on, the menu item's check mark, a port that cannot be opened, Off; and
// gpsd, the program most users point at a GPS, reading that output as a fix at the simulated
// receiver's position.
#include "config/nmea_output_form.h"
#include "link/decoders.h"
#include "support/child_process.h"
#include "support/console_fixture_qt.h"
#include "support/temp_path.h"

#include <QTest>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

using vxtest::child;
using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::pumpUntil;

namespace {

constexpr int kNmeaSlot = 14; // COM 15, the window's default

std::string text(const std::vector<uint8_t>& b) {
    return std::string(b.begin(), b.end());
}

// Every "$GPGGA...*hh\r\n" in the text, each checked against its checksum.
std::vector<std::string> sentences(const std::string& s) {
    std::vector<std::string> out;
    static const std::regex gga(R"(\$GPGGA,[^*\r\n]*\*([0-9a-f]{2})\r\n)");
    for (auto it = std::sregex_iterator(s.begin(), s.end(), gga); it != std::sregex_iterator();
         ++it) {
        const std::string m = it->str();
        uint8_t sum = 0;
        for (size_t i = 1; m[i] != '*'; ++i) sum ^= uint8_t(m[i]);
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", sum);
        EXPECT_EQ((*it)[1].str(), hex) << m;
        out.push_back(m);
    }
    return out;
}

TEST_F(ConsoleOnSimulatedReceiver, NmeaOutputWritesGgaWhileOnAndTheMenuItemSaysSo) {
    startSimulatedReceiver();
    vxtest::Pty nmea;
    ASSERT_TRUE(nmea.ok());
    comMap.setPath(kNmeaSlot, "/nonexistent/ttyNMEA");
    menuItem("VEXOR->NMEA Output...")->trigger();
    auto* form = windows->find<TNMEAOutputForm>(vx::WindowId::TNMEAOutputForm);
    ASSERT_NE(form, nullptr);
    QAction* item = action("NMEAOutput");
    EXPECT_TRUE(item->isCheckable());
    EXPECT_FALSE(item->isChecked());

    // A port that cannot be opened says so; output stays off.
    QTest::mouseClick(child<QPushButton>(form, "okButton"), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith("Cannot open COM 15: no such"))
        << messages[0].text.toStdString();
    EXPECT_FALSE(form->outputOn());
    EXPECT_FALSE(item->isChecked());
    EXPECT_TRUE(form->isVisible());

    comMap.setPath(kNmeaSlot, nmea.slavePath());
    QTest::mouseClick(child<QPushButton>(form, "okButton"), Qt::LeftButton);
    EXPECT_TRUE(form->outputOn());
    EXPECT_TRUE(item->isChecked());
    EXPECT_FALSE(form->isVisible());
    item->trigger(); // choosing the item again shows the window; the mark stays
    EXPECT_TRUE(item->isChecked());

    ASSERT_TRUE(sim->advance(3000));
    std::string got;
    ASSERT_TRUE(pumpUntil([&] {
        got += text(nmea.readAvailable());
        return sentences(got).size() >= 3;
    })) << got;
    // Satellites and HDOP are written; the fix is valid once the receiver has one.
    EXPECT_TRUE(std::regex_search(sentences(got).back(),
                                  std::regex(R"(,[NS],\d{5}\.\d{3},[EW],[01],\d\d,\d+\.\d,)")))
        << sentences(got).back();
    EXPECT_EQ(form->writer().dropped(), 0u);
    EXPECT_TRUE(child<QLabel>(form, "statusWin")->text().contains("sentences written"));

    QTest::mouseClick(child<QPushButton>(form, "offButton"), Qt::LeftButton);
    EXPECT_FALSE(form->outputOn());
    EXPECT_FALSE(item->isChecked());
    nmea.readAvailable();
    ASSERT_TRUE(sim->advance(2000));
    const uint64_t before = console->delivered();
    ASSERT_TRUE(pumpUntil([&] { return console->delivered() > before + 5; }));
    EXPECT_EQ(text(nmea.readAvailable()), "") << "nothing after Off";
}

// ---- gpsd ------------------------------------------------------------------------------------

std::string findProgram(const std::string& name) {
    std::string dirs = "/usr/sbin:/usr/bin:/sbin:/bin:/usr/local/sbin:/usr/local/bin";
    if (const char* path = std::getenv("PATH")) dirs = std::string(path) + ":" + dirs;
    std::istringstream in(dirs);
    for (std::string dir; std::getline(in, dir, ':');) {
        const std::string p = dir + "/" + name;
        if (!dir.empty() && ::access(p.c_str(), X_OK) == 0) return p;
    }
    return {};
}

// A TCP port on the loopback that nothing listens on now.
int freePort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

bool accepts(int port) {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

// The number after "key": in a JSON line, or NaN.
double jsonNumber(const std::string& line, const std::string& key) {
    const size_t at = line.find("\"" + key + "\":");
    if (at == std::string::npos) return std::nan("");
    return std::strtod(line.c_str() + at + key.size() + 3, nullptr);
}

// The positions (degrees) of every 3002 in a recording of the receiver's output.
std::vector<std::pair<double, double>> recordedPositions(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    vx::MemorySource src(bytes.data(), bytes.size());
    std::vector<std::pair<double, double>> out;
    uint8_t buf[vx::kRxBufferSize];
    uint16_t n = 0;
    vx::RecordArea area;
    for (;;) {
        const int r = vx::PacketDeframer::readFrame(src, buf, n);
        if (r == vx::kFrameEndOfStream) break;
        if (r != vx::kFrameOk || n < 5 || buf[1] != 0x30 || buf[2] != 0x02) continue;
        vx::RecordKind kind{};
        if (vx::decode(0x30, 0x02, buf + 3, n - 5u, area, &kind) != 0) continue;
        out.emplace_back(area.dr_data.latitude * 180.0 / 2147483648.0,
                         area.dr_data.longitude * 180.0 / 2147483648.0);
    }
    return out;
}

TEST_F(ConsoleOnSimulatedReceiver, NmeaOutputGivesGpsdAFixAtTheReceiversPosition) {
    const std::string gpsdPath = findProgram("gpsd");
    const std::string gpspipePath = findProgram("gpspipe");
    if (gpsdPath.empty() || gpspipePath.empty())
        GTEST_SKIP() << "gpsd or gpspipe is not installed (Debian packages gpsd and "
                        "gpsd-clients; scripts/install-deps.sh installs them): the GGA output "
                        "is not checked against gpsd";
    const std::string recording = vxtest::uniqueTempPath("nmea_receiver.bin");
    vx::sim::SimRunnerOptions options = steppedReceiver();
    options.recordPath = recording;
    startSimulatedReceiver(options);

    // The console writes to one pseudo-terminal, gpsd reads another; the test carries the
    // bytes across, as a null-modem cable would.
    vxtest::Pty nmea, gpsdLine;
    ASSERT_TRUE(nmea.ok() && gpsdLine.ok());
    comMap.setPath(kNmeaSlot, nmea.slavePath());
    const int port = freePort();
    ASSERT_NE(port, 0);
    const std::string control = vxtest::uniqueTempPath("gpsd.sock");
    // -N foreground, -n poll the device without a client, -b read-only (no probes written).
    vxtest::ChildProcess gpsd({gpsdPath, "-N", "-n", "-b", "-S", std::to_string(port), "-F",
                               control, gpsdLine.slavePath()});
    ASSERT_TRUE(gpsd.pumpUntil([&] { return accepts(port); }, std::chrono::seconds(10)))
        << gpsd.err;
    vxtest::ChildProcess pipe({gpspipePath, "-w", "127.0.0.1:" + std::to_string(port)});

    menuItem("VEXOR->NMEA Output...")->trigger();
    auto* form = windows->find<TNMEAOutputForm>(vx::WindowId::TNMEAOutputForm);
    ASSERT_NE(form, nullptr);
    QTest::mouseClick(child<QPushButton>(form, "okButton"), Qt::LeftButton);
    ASSERT_TRUE(form->outputOn());

    std::vector<std::string> fixes;
    std::string relayed;
    auto reports = [&] {
        size_t n = 0;
        for (size_t at = 0; (at = pipe.out.find("\"class\":\"TPV\"", at)) != std::string::npos;
             ++at)
            ++n;
        return n;
    };
    // One simulated second at a time: its sentence is carried to gpsd, which reports it.
    for (int second = 0; second < 60 && fixes.size() < 3; ++second) {
        ASSERT_TRUE(sim->advance(1000));
        const size_t before = reports();
        pumpUntil(
            [&] {
                const std::vector<uint8_t> b = nmea.readAvailable();
                relayed += text(b);
                if (!b.empty()) gpsdLine.write(b);
                pipe.pump(5);
                return reports() > before;
            },
            500);
        fixes.clear();
        std::istringstream lines(pipe.out);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.find("\"class\":\"TPV\"") != std::string::npos && line.back() == '}' &&
                jsonNumber(line, "mode") >= 2 && !std::isnan(jsonNumber(line, "lat")))
                fixes.push_back(line);
        }
    }
    ASSERT_GE(fixes.size(), 3u) << "gpsd said:\n"
                                << pipe.out << "\ngpsd stderr:\n"
                                << gpsd.err << "\nsentences:\n"
                                << relayed;
    EXPECT_EQ(form->writer().dropped(), 0u);
    sim->stop(); // completes the recording
    const auto positions = recordedPositions(recording);
    ASSERT_FALSE(positions.empty());
    for (const std::string& fix : fixes) {
        const double lat = jsonNumber(fix, "lat"), lon = jsonNumber(fix, "lon");
        bool matched = false;
        for (const auto& [plat, plon] : positions)
            matched |= std::fabs(lat - plat) <= 1e-5 && std::fabs(lon - plon) <= 1e-5;
        EXPECT_TRUE(matched) << "gpsd's fix " << fix << " is no position the receiver reported";
    }
    std::remove(recording.c_str());
    std::remove(control.c_str());
}

} // namespace
