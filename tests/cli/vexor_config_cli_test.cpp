// `vexor config` against the simulated receiver on a pseudo-terminal: save a profile, change
// three settings, verify (3 different), apply, verify again (all the same); the exit statuses;
// a refused profile sends nothing.
#include "sim/sim_runner.h"
#include "support/child_process.h"
#include "support/pty.h"
#include "support/run_command.h"
#include "support/temp_path.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

using vxtest::runCommand;

namespace {

const std::string vexor = VEXOR_BINARY;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(VexorConfigCli, SaveChangeVerifyApplyVerifyOnTheSimulatedReceiver) {
    vx::sim::SimRunnerOptions o;
    o.speed = 0; // answers at once; its clock moves only when told
    vx::sim::SimRunner sim(o);
    std::string port;
    ASSERT_TRUE(sim.startOnPty(&port)) << sim.error();
    ASSERT_TRUE(sim.advance(vx::sim::SimReceiver::restartMs()));
    const std::string profile = vxtest::uniqueTempPath("profile");
    const std::string config = vexor + " config ";

    auto r = runCommand(config + "save --port " + port + " " + profile);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string saved = slurp(profile);
    EXPECT_EQ(saved.rfind("# Ornivex receiver configuration profile\r\n# receiver: 1101 ", 0), 0u)
        << saved.substr(0, 200);
    EXPECT_NE(saved.find("\r\ngps_config.DGPS_Mode = If Available\r\n"), std::string::npos);
    EXPECT_NE(saved.find("\r\nsoft_event_mask[61].mask = "), std::string::npos);
    EXPECT_NE(saved.find("\r\ntime_trigger[3002].minimum = "), std::string::npos);

    // Three settings changed the way the dialogs change them.
    for (const char* set : {"set 21 01 0a", "set 24 02 00", "set 2e 01 70 00"})
        ASSERT_EQ(runCommand(vexor + " send --port " + port + " " + set).status, 0) << set;
    r = runCommand(config + "verify --port " + port + " " + profile);
    EXPECT_EQ(r.status, 1) << r.err;
    const size_t fields = std::count(saved.begin(), saved.end(), '\n') -
                          size_t(std::count(saved.begin(), saved.end(), '#'));
    const std::string summary =
        std::to_string(fields) + " fields: " + std::to_string(fields - 3) + " same, 3 different\n";
    EXPECT_TRUE(r.out.ends_with(summary)) << r.out.substr(r.out.size() - 200);
    EXPECT_NE(r.out.find("engine_rate.DR_Engine_Rate"), std::string::npos);
    EXPECT_NE(r.out.find("10 Hz"), std::string::npos);

    r = runCommand(config + "apply --port " + port + " " + profile);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(
        r.out.ends_with(std::to_string(fields) + " fields: " + std::to_string(fields) + " same\n"))
        << r.out.substr(r.out.size() - 300);
    r = runCommand(config + "verify --port " + port + " " + profile);
    EXPECT_EQ(r.status, 0) << r.out.substr(r.out.size() - 300);

    // A second save is the same configuration.
    const std::string again = vxtest::uniqueTempPath("profile");
    ASSERT_EQ(runCommand(config + "save --port " + port + " " + again).status, 0);
    r = runCommand(config + "diff " + profile + " " + again);
    EXPECT_EQ(r.status, 0) << r.out;
    std::remove(profile.c_str());
    std::remove(again.c_str());
    sim.stop();
}

TEST(VexorConfigCli, RefusesABadProfileBeforeSendingAnything) {
    vxtest::Pty pty;
    ASSERT_TRUE(pty.ok());
    const std::string profile = vxtest::uniqueTempPath("profile");
    write(profile, "# a profile\ngps_config.Elevation = 5\nkalman.MinSVs = 4294967296\n");
    for (const char* action : {"verify", "apply"}) {
        auto r =
            runCommand(vexor + " config " + action + " --port " + pty.slavePath() + " " + profile);
        EXPECT_EQ(r.status, 2) << action;
        EXPECT_EQ(r.err, "vexor config: " + profile +
                             ": line 3: kalman.MinSVs: 4294967296 is out of range (0 to "
                             "4294967295).\n");
        EXPECT_TRUE(pty.readAvailable().empty()) << action;
    }
    // A trigger given in part cannot be applied: its packet is written whole.
    write(profile, "time_trigger[3002].minimum = 100\n");
    auto r = runCommand(vexor + " config apply --port " + pty.slavePath() + " " + profile);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("time_trigger[3002]: no value for maximum"), std::string::npos) << r.err;
    EXPECT_TRUE(pty.readAvailable().empty());

    // Nobody answers on a bare pseudo-terminal: 3, and the Query went out.
    write(profile, "engine_rate.DR_Engine_Rate = 5 Hz\n");
    r = runCommand(vexor + " config verify --timeout 5 --port " + pty.slavePath() + " " + profile);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "vexor config: " + pty.slavePath() + ": the receiver did not answer\n");
    EXPECT_FALSE(pty.readAvailable().empty());
    // A save that gets no answer leaves the profile it would have replaced as it was.
    r = runCommand(vexor + " config save --timeout 5 --port " + pty.slavePath() + " " + profile);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(slurp(profile), "engine_rate.DR_Engine_Rate = 5 Hz\n");
    EXPECT_EQ(runCommand(vexor + " config save --port " + pty.slavePath() + " /").status, 2);

    struct Case {
        std::string args;
        int status;
    };
    const Case cases[] = {
        {"", 2},
        {"verify " + profile, 2},                         // no port
        {"launch --port /dev/null " + profile, 2},        // no such action
        {"diff " + profile, 2},                           // two profiles
        {"verify --port /nonexistent/tty " + profile, 4}, // the port cannot be opened
        {"diff " + profile + " " + profile, 0},
        {"diff / " + profile, 2}, // a directory is not read
    };
    for (const Case& c : cases)
        EXPECT_EQ(runCommand(vexor + " config " + c.args).status, c.status) << c.args;
    write(profile + ".b", "engine_rate.DR_Engine_Rate = 10 Hz\n");
    r = runCommand(vexor + " config diff " + profile + " " + profile + ".b");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with("1 field: 0 same, 1 different\n")) << r.out;
    std::remove(profile.c_str());
    std::remove((profile + ".b").c_str());
}

// A receiver that goes away ends the run at once: status 4, its reason in one line.
TEST(VexorConfigCli, APortThatGoesAwayEndsTheRun) {
    vx::sim::SimFaults f;
    f.silent = true;
    vx::sim::SimRunnerOptions o;
    o.sim.faults = f;
    vx::sim::SimRunner sim(o);
    std::string path;
    ASSERT_TRUE(sim.startOnPty(&path)) << sim.error();
    const std::string profile = vxtest::uniqueTempPath("profile");
    vxtest::ChildProcess save(
        {vexor, "config", "save", "--port", path, "--timeout", "3600000", profile});
    ASSERT_TRUE(save.pumpUntil([&] { return save.holds(path); }, std::chrono::seconds(10)));
    sim.stop();
    EXPECT_EQ(save.wait(std::chrono::seconds(10)), 4);
    EXPECT_EQ(save.err, "vexor config: " + path + ": device disconnected\n");
    EXPECT_NE(::access(profile.c_str(), F_OK), 0); // the file it created is gone again
}

} // namespace
