// `vexor send`: the frames it writes (the generic packet window's), its refusals, and its
// answers and exit statuses against the simulated receiver on a pseudo-terminal.
#include "sim/sim_runner.h"
#include "support/child_process.h"
#include "support/pty.h"
#include "support/run_command.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

using vxtest::runCommand;

namespace {

const std::string vexor = VEXOR_BINARY;

std::string hexOf(const std::vector<uint8_t>& v) {
    static const char d[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < v.size(); ++i) {
        if (i) s += ' ';
        s += d[v[i] >> 4];
        s += d[v[i] & 15];
    }
    return s;
}

// Nobody answers on a bare pseudo-terminal: each send writes its frame and times out.
TEST(VexorSend, FramesAndRefusals) {
    vxtest::Pty pty;
    ASSERT_TRUE(pty.ok());
    struct Case {
        const char* args;
        int status;
        const char* frame; // written; "" for nothing
        const char* err;   // start of stderr
    };
    const Case cases[] = {
        {"query 21 01", 3, "81 02 21 01 D9 82", "vexor send: no answer within 5 ms"},
        {"query 14 02 05", 3, "81 02 14 02 05 E0 82", ""},
        {"query 36 07 --index ff", 3, "81 02 36 07 FF BF 82", ""},
        {"set 21 01 0x85", 3, "81 01 21 01 80 05 55 82", ""},
        {"command 01 70 0d --index 2 aa", 3, "81 01 70 0D 02 AA D3 82", ""},
        {"system 01", 3, "81 03 01 F9 82", ""},
        {"command 03 05", 3, "81 03 05 F5 82", ""},
        {"raw 02 21 01", 3, "81 02 21 01 D9 82", ""},
        {"monitor 8c", 3, "02 00 8C 00 8C 03", ""},
        {"set 80 01", 2, "", "vexor send: Error with Parser Code."},
        {"query 21 1ff", 2, "", "vexor send: Error with Parser Subcode."},
        {"set 21 01 -1", 2, "", "vexor send: Error in data to set"},
        {"raw 02 81 01", 2, "", "vexor send: Error in data to set: the command byte"},
        {"system 01 02", 2, "", "vexor send: a System command takes only its code"},
        {"command 05 21 01", 2, "", "vexor send: invalid command byte '05'"},
        {"launch 21 01", 2, "", "vexor send: unknown command form 'launch'"},
        {"query 21", 2, "", "vexor send: missing CODE and SUB"},
    };
    for (const Case& c : cases) {
        auto r = runCommand(vexor + " send --port " + pty.slavePath() + " --timeout 5 " + c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_EQ(hexOf(pty.readAvailable()), c.frame) << c.args;
        EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << c.args << "\n" << r.err;
        EXPECT_EQ(r.out, "") << c.args;
    }
    // 127 data bytes: the frame does not fit its 128-byte buffer.
    std::string many = " raw 01 21 01";
    for (int i = 0; i < 124; ++i) many += " 05";
    auto r = runCommand(vexor + " send --port " + pty.slavePath() + many);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("vexor send: Size of data is greater than 128 bytes.", 0), 0u) << r.err;

    for (const char* bad : {"", "--port", "--timeout 0 --port /dev/null query 21 01"}) {
        r = runCommand(vexor + " send " + bad);
        EXPECT_EQ(r.status, 2) << bad;
    }
    r = runCommand(vexor + " send --port /nonexistent/tty query 21 01");
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, "vexor send: /nonexistent/tty: no such device\n");
}

TEST(VexorSend, AnswersOfTheSimulatedReceiver) {
    // The receiver's clock is stepped: it answers at once, and restarts when the test says.
    vx::sim::SimRunnerOptions o;
    o.speed = 0;
    vx::sim::SimRunner sim(o);
    std::string path;
    ASSERT_TRUE(sim.startOnPty(&path)) << sim.error();
    const std::string send = vexor + " send --port " + path + " ";
    ASSERT_TRUE(sim.advance(vx::sim::SimReceiver::restartMs())); // powered on

    struct Case {
        const char* args;
        int status;
        const char* out; // regular expression for the whole output
    };
    const Case cases[] = {
        {"query 21 01", 0,
         "2101 len   1  engine_rate_2101 rate=5\n"
         "1002 len   3  ack acked_code=0x21 acked_subcode=0x01 index=128 result=0\n"},
        {"set 21 01 0a", 0, "1001 len   3  ack acked_code=0x21 acked_subcode=0x01 .*result=0\n"},
        {"--json query 21 01", 0,
         "\\{\"result\": 0, \"code\": 33, \"subcode\": 1, \"length\": 1, \"frame\": \"81 21 01 0A "
         "D1 82\", \"kind\": \"engine_rate_2101\", \"record\": \\{\"rate\":10\\}\\}\n"
         "\\{\"result\": 0, \"code\": 16, \"subcode\": 2, .*\"kind\": \"ack\".*\n"},
        {"raw 01 21 01 05", 0, "1001 len   3  ack .*result=0\n"},
        {"query 11 01", 0, "1101 len   7  version_11xx .*\n1002 len   3  ack .*result=0\n"},
        {"system 0a", 1, "1003 len   2  system_ack acked_code=0x0A result=8\n"},
        {"query 7f 01", 1, "1002 len   3  ack acked_code=0x7F acked_subcode=0x01 .*result=3\n"},
        {"system 03", 0, "1003 len   2  system_ack acked_code=0x03 result=0\n"},
        // In monitor mode: a memory read answered by a reply frame, a refused command.
        {"monitor 80 00 00 18 00 04", 0, "monitor reply 02 00 80 04 ([0-9A-F]{2} ){5}03\n"},
        {"--json monitor 82 00 00 00 00", 1, "\\{\"monitor\": \"nak\", \"byte\": 21\\}\n"},
        {"--timeout 50 monitor 8c", 3, ""}, // a restart is not answered
    };
    for (const Case& c : cases) {
        auto r = runCommand(send + c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out << r.err;
        EXPECT_TRUE(std::regex_match(r.out, std::regex(c.out))) << c.args << "\n" << r.out;
    }
    // Back from the monitor, the receiver answers again.
    ASSERT_TRUE(sim.advance(vx::sim::SimReceiver::restartMs()));
    EXPECT_EQ(runCommand(send + "query 21 01").status, 0);

    // A Query acknowledged whose reply does not come: what was asked for is missing.
    vx::sim::SimFaults f;
    f.dropReplyFraction = 1;
    sim.setFaults(f);
    auto acked = runCommand(send + "--timeout 200 query 11 01");
    EXPECT_EQ(acked.status, 3);
    EXPECT_TRUE(std::regex_match(acked.out, std::regex("1002 len   3  ack .*result=0\n")))
        << acked.out;
    EXPECT_EQ(acked.err, "vexor send: acknowledged, no reply within 200 ms\n");

    // A receiver that refuses everything, and one that answers nothing.
    f = {};
    f.forcedResult = 0x05;
    sim.setFaults(f);
    auto r = runCommand(send + "set 21 01 05");
    EXPECT_EQ(r.status, 1) << r.out;
    f = {};
    f.silent = true;
    sim.setFaults(f);
    r = runCommand(send + "--timeout 50 query 21 01");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "vexor send: no answer within 50 ms\n");
    sim.stop();
}

} // namespace

namespace {

// A receiver in its normal mode sends reports full of 06 bytes, and no monitor answer: a
// monitor command is never answered there. Fast, so that many reports pass in the wait.
TEST(VexorSend, NoMonitorAnswerFromAReceiverInItsNormalMode) {
    vx::sim::SimRunnerOptions o;
    o.speed = 50;
    vx::sim::SimRunner sim(o);
    std::string path;
    ASSERT_TRUE(sim.startOnPty(&path)) << sim.error();
    const std::string send = vexor + " send --port " + path + " --timeout 200 ";
    ASSERT_TRUE(vxtest::waitFor([&] { return runCommand(send + "query 21 01").status == 0; }));
    const std::string noAnswer =
        "vexor send: no answer within 200 ms; the receiver sends VEXOR "
        "frames, so it is not in its monitor ('system 03' puts it there)\n";
    for (const char* args :
         {"monitor 80 00 00 18 00 04", "monitor 8c", "refused system 03", "monitor 8c"}) {
        if (std::string(args) == "refused system 03") {
            vx::sim::SimFaults f;
            f.forcedResult = 0x05;
            sim.setFaults(f);
            EXPECT_EQ(runCommand(send + "system 03").status, 1);
            continue;
        }
        auto r = runCommand(send + args);
        EXPECT_EQ(r.status, 3) << args << "\n" << r.out;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_EQ(r.err, noAnswer) << args;
    }
    sim.stop();
}

// The receiver goes away during the wait: said at once, exit 4, in every form.
TEST(VexorSend, APortThatGoesAwayEndsTheWaitAtOnce) {
    for (const char* form : {"query 21 01", "monitor 80 00 00 18 00 04"}) {
        vx::sim::SimFaults f;
        f.silent = true;
        vx::sim::SimRunnerOptions o;
        o.sim.faults = f;
        vx::sim::SimRunner sim(o);
        std::string path;
        ASSERT_TRUE(sim.startOnPty(&path)) << sim.error();
        std::vector<std::string> argv = {vexor, "send", "--port", path, "--timeout", "3600000"};
        std::istringstream words(form);
        for (std::string w; words >> w;) argv.push_back(w);
        vxtest::ChildProcess send(argv);
        ASSERT_TRUE(send.pumpUntil([&] { return send.holds(path); }, std::chrono::seconds(10)))
            << form;
        sim.stop(); // the pseudo-terminal's other side closes
        EXPECT_EQ(send.wait(std::chrono::seconds(10)), 4) << form;
        EXPECT_EQ(send.err, "vexor send: " + path + ": device disconnected\n") << form;
    }
}

} // namespace
