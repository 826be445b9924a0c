// `vexor bbram`: its usage errors, and a RAM save from the simulated receiver on a
// pseudo-terminal (the job's own pauses are real here: about 1.3 s).
#include "sim/sim_runner.h"
#include "support/run_command.h"
#include "support/temp_path.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

using vxtest::runCommand;

namespace {
const std::string vexor = VEXOR_BINARY;
} // namespace

TEST(VexorBbramCli, UsageErrors) {
    struct Case {
        const char* args;
        const char* err;
    };
    const Case cases[] = {
        {"copy --port /dev/null f", "vexor bbram: unknown operation 'copy'"},
        {"save f", "vexor bbram: no port given"},
        {"save --port /dev/null", "vexor bbram: no image file given"},
        {"save --port /dev/null --type rom f", "vexor bbram: invalid --type 'rom'"},
        {"save --port /dev/null --type ram --ram-start 1000 f", "vexor bbram: invalid --ram-start"},
        {"save --port /dev/null --type ram --entire-flash f",
         "vexor bbram: --entire-flash goes with --type flash"},
        {"save --port /dev/null a b", "vexor bbram: more than one file given"},
    };
    for (const Case& c : cases) {
        auto r = runCommand(vexor + " bbram " + c.args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << c.args << "\n" << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    auto r = runCommand(vexor + " bbram save --port /nonexistent/tty f");
    EXPECT_EQ(r.status, 4) << r.err;
}

TEST(VexorBbramCli, SavesTheReceiversRamAndUploadsAShortFileNot) {
    vx::sim::SimRunnerOptions o;
    o.speed = 0; // it answers at once; it need not boot again
    vx::sim::SimRunner sim(o);
    std::string path;
    ASSERT_TRUE(sim.startOnPty(&path)) << sim.error();
    ASSERT_TRUE(sim.advance(vx::sim::SimReceiver::restartMs()));
    const std::string image = vxtest::uniqueTempPath("vexor_bbram");
    auto r = runCommand(vexor + " bbram save --port " + path + " --type ram --ram-start 0x2000 " +
                        image);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("RAM BBRAM save complete."), std::string::npos) << r.err;
    std::ifstream f(image, std::ios::binary);
    std::vector<uint8_t> saved{std::istreambuf_iterator<char>(f), {}};
    std::vector<uint8_t> ram;
    sim.inspect([&](const vx::sim::SimReceiver& rx) {
        ram.assign(rx.monitor().ram() + 0x2000, rx.monitor().ram() + 0x6000);
    });
    EXPECT_EQ(saved, ram);

    // A flash upload of a short file: nothing goes out, status 1.
    std::ofstream(image, std::ios::binary | std::ios::trunc) << "short";
    const uint64_t commands = sim.stats().commandsReceived;
    r = runCommand(vexor + " bbram upload --quiet --port " + path + " " + image);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vexor bbram: Error reading BBRAM file.\n");
    EXPECT_EQ(sim.stats().commandsReceived, commands);
    sim.stop();
    std::remove(image.c_str());
}
