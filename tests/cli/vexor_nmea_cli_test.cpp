// `vexor nmea`: the NMEA output without a display, against the simulated receiver.
#include "sim/sim_runner.h"
#include "support/child_process.h"
#include "support/pty.h"

#include <gtest/gtest.h>

#include <csignal>
#include <regex>

using namespace std::chrono_literals;

namespace {

const std::string vexor = VEXOR_BINARY;

TEST(NmeaEndToEnd, WritesGgaFromTheReceiversReportsUntilStopped) {
    vx::sim::SimRunnerOptions o;
    o.speed = 0;
    vx::sim::SimRunner sim(o);
    std::string simPath;
    ASSERT_TRUE(sim.startOnPty(&simPath)) << sim.error();
    vxtest::Pty nmea;
    ASSERT_TRUE(nmea.ok());
    vxtest::ChildProcess run({vexor, "nmea", "--port", simPath, "--nmea-port", nmea.slavePath()});
    ASSERT_TRUE(
        run.pumpUntil([&] { return run.holds(nmea.slavePath()) && run.holds(simPath); }, 10s))
        << run.err;
    ASSERT_TRUE(sim.advance(vx::sim::SimReceiver::restartMs()));
    std::string got;
    const std::regex gga(R"(\$GPGGA,\d{6}\.00,\d{4}\.\d{3},[NS],\d{5}\.\d{3},[EW],[01],\d\d,)");
    int sentences = 0;
    for (int s = 0; s < 30 && sentences < 3; ++s) {
        ASSERT_TRUE(sim.advance(1000));
        const std::vector<uint8_t> b = nmea.read(1, 300ms);
        got.append(b.begin(), b.end());
        const std::vector<uint8_t> rest = nmea.readAvailable();
        got.append(rest.begin(), rest.end());
        sentences = int(std::distance(std::sregex_iterator(got.begin(), got.end(), gga),
                                      std::sregex_iterator()));
    }
    EXPECT_GE(sentences, 3) << got;
    run.signal(SIGTERM);
    EXPECT_EQ(run.wait(10s), 0) << run.err;
    EXPECT_TRUE(
        std::regex_search(run.err, std::regex(R"(vexor nmea: \d+ sentences written, 0 dropped)")))
        << run.err;
}

TEST(NmeaEndToEnd, APortThatCannotBeOpenedIsNamed) {
    vxtest::Pty receiver;
    vxtest::ChildProcess run(
        {vexor, "nmea", "--port", receiver.slavePath(), "--nmea-port", "/nonexistent/ttyNMEA"});
    EXPECT_EQ(run.wait(10s), 1);
    EXPECT_EQ(run.err, "vexor nmea: /nonexistent/ttyNMEA: no such device\n");
}

} // namespace
