// The BBRAM unit test, the BBRAM activity trace and the Vexor trace: their frames, rows,
// filters, limits and Clear through the real receive path, then all three filled by the
// simulated receiver's own 700C, 700D and 70xx output.
#include "flash/bbram_trace_form.h"
#include "flash/bbram_unit_test_form.h"
#include "flash/row_model_qt.h"
#include "flash/vexor_trace_form.h"

#include "link/catalogue.h"
#include "sim/sim_runner.h"
#include "support/console_fixture_qt.h"
#include "support/console_rig_qt.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QSpinBox>

#include <gtest/gtest.h>

using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::ConsoleRig;
using vxtest::pumpUntil;

namespace {

std::vector<uint8_t> activity(uint32_t offsMst, uint8_t act, uint32_t time = 1000) {
    std::vector<uint8_t> p;
    auto u32 = [&](uint32_t v) {
        for (int s = 0; s < 32; s += 8) p.push_back(uint8_t(v >> s));
    };
    u32(0x1800 + offsMst);
    u32(offsMst);
    u32(0x2000 + offsMst);
    u32(0xC70000 + offsMst);
    u32(time);
    u32(time - 50);
    u32(time);
    p.push_back(64);
    p.push_back(0);
    p.push_back(act);
    p.push_back(0);
    return p;
}

QString lastLine(QPlainTextEdit* memo) {
    return memo->toPlainText().split('\n').last();
}

} // namespace

TEST(BbramUnitTestForm, SendsTheTestAndLogsItsReplies) {
    ConsoleRig rig;
    TBbramUnitTestForm form(rig.console);
    ASSERT_TRUE(rig.start());
    form.show();
    EXPECT_EQ(form.windowTitle(), "BBRAM Unit Test");
    auto* memo = vxtest::child<QPlainTextEdit>(&form, "mmResults");
    auto* address = vxtest::child<QSpinBox>(&form, "seAddress");
    auto* length = vxtest::child<QSpinBox>(&form, "seLen");
    EXPECT_EQ(address->value(), 8192);
    EXPECT_EQ(vxtest::child<QLabel>(&form, "lblAddress")->text(), "0x00002000");
    EXPECT_TRUE(vxtest::child<QRadioButton>(&form, "rgTest6")->isChecked());
    length->setValue(1000);
    EXPECT_EQ(length->value(), 255) << "the length travels in one byte";
    length->setValue(16);

    vxtest::child<QPushButton>(&form, "lblFlash")->click();
    EXPECT_EQ(address->value(), 0xC70000);
    EXPECT_EQ(vxtest::child<QLabel>(&form, "lblAddress")->text(), "0x00c70000");
    vxtest::child<QRadioButton>(&form, "rgTest7")->click();
    vxtest::child<QPushButton>(&form, "btnStore")->click();
    EXPECT_EQ(rig.sentHex(12), "81 01 70 0D 07 00 00 C7 00 10 A1 82");
    EXPECT_EQ(lastLine(memo), "Sent test command 7");

    // The reply: its address and the 16 bytes asked for.
    std::vector<uint8_t> reply = {7, 0x00, 0x00, 0xC7, 0x00};
    for (int i = 0; i < 16; ++i) reply.push_back(uint8_t(0xA0 + i));
    const uint64_t before = rig.console.delivered();
    rig.receive(0x70, 0x0D, reply);
    ASSERT_TRUE(rig.waitDelivered(before + 1));
    EXPECT_EQ(memo->toPlainText().split('\n').mid(1),
              (QStringList{"Memdump from 0x00c70000:",
                           "0xa0 0xa1 0xa2 0xa3 0xa4 0xa5 0xa6 0xa7 0xa8 0xa9 0xaa 0xab 0xac 0xad "
                           "0xae 0xaf "}));
    vxtest::child<QPushButton>(&form, "lblBbram")->click();
    EXPECT_EQ(address->value(), 0x2000);
    vxtest::child<QPushButton>(&form, "lblFlashDriver")->click();
    EXPECT_EQ(address->value(), 0x1F000);

    // Hidden, the window takes no replies; its log stays.
    form.close();
    rig.receive(0x70, 0x0D, {1, 0});
    ASSERT_TRUE(rig.waitDelivered(before + 2));
    EXPECT_EQ(memo->toPlainText().split('\n').size(), 3);
    rig.console.stopMonitor();
    form.show();
    vxtest::child<QPushButton>(&form, "btnStore")->click();
    EXPECT_TRUE(lastLine(memo).startsWith("Test command 7 was not sent")) << "nothing monitored";
}

TEST(BbramTraceForm, RowsFilterLimitAndClear) {
    ConsoleRig rig;
    TBbramTraceForm form(rig.console);
    ASSERT_TRUE(rig.start());
    EXPECT_EQ(form.windowTitle(), "Bbram Activity Trace");
    uint64_t n = rig.console.delivered();
    auto deliver = [&](const std::vector<uint8_t>& p) {
        rig.receive(0x70, 0x0C, p);
        ASSERT_TRUE(rig.waitDelivered(++n));
    };
    // Reports arrive with the window hidden.
    deliver(activity(868, 0));
    ASSERT_EQ(form.rows().rowCount(), 1);
    EXPECT_EQ(form.rows().cell(0, 1), "Store");
    EXPECT_EQ(form.rows().cell(0, 2), "AUTO_BLK");
    vxtest::child<QCheckBox>(&form, "cbAutoBlk")->setChecked(false);
    deliver(activity(868, 1));
    EXPECT_EQ(form.rows().rowCount(), 1) << "AUTO_BLK is filtered out";
    deliver(activity(100, 2));
    ASSERT_EQ(form.rows().rowCount(), 2) << "a structure not listed always passes";

    // "All User" and "All Auto" set their groups' boxes to their own state.
    auto* allUser = vxtest::child<QCheckBox>(&form, "cbAllUser");
    allUser->click();
    EXPECT_FALSE(allUser->isChecked());
    EXPECT_FALSE(vxtest::child<QCheckBox>(&form, "cbKfc")->isChecked());
    EXPECT_TRUE(vxtest::child<QCheckBox>(&form, "cbPfErrEst")->isChecked());
    allUser->click();
    EXPECT_TRUE(vxtest::child<QCheckBox>(&form, "cbAutoBlk")->isChecked());
    vxtest::child<QCheckBox>(&form, "cbAllAuto")->click();
    EXPECT_FALSE(vxtest::child<QCheckBox>(&form, "cbVexBbInit")->isChecked());
    vxtest::child<QCheckBox>(&form, "cbAllAuto")->click();

    // The 301st row pushes out the first.
    std::vector<uint8_t> burst;
    for (uint32_t t = 0; t < 300; ++t) {
        auto f = vxtest::frame(0x70, 0x0C, activity(224, 1, 2000 + t));
        burst.insert(burst.end(), f.begin(), f.end());
    }
    rig.receiveBytes(burst);
    n += 300;
    ASSERT_TRUE(rig.waitDelivered(n));
    EXPECT_EQ(form.rows().rowCount(), 300);
    EXPECT_EQ(form.rows().cell(0, 7), "0x000007d0") << "the oldest left is the burst's first";
    EXPECT_EQ(form.rows().cell(299, 7), "0x000008fb");

    vxtest::child<QCheckBox>(&form, "cbEnabled")->setChecked(false);
    deliver(activity(0, 0));
    EXPECT_EQ(form.rows().cell(299, 7), "0x000008fb") << "not traced";
    vxtest::child<QPushButton>(&form, "btnClear")->click();
    EXPECT_EQ(form.rows().rowCount(), 0);
}

TEST(VexorTraceForm, SelectedPacketsWhileShown) {
    ConsoleRig rig;
    TVexorTraceForm form(rig.console);
    ASSERT_TRUE(rig.start());
    form.show();
    EXPECT_EQ(form.windowTitle(), "VexorTraceForm");
    uint64_t n = rig.console.delivered();
    auto deliver = [&](uint8_t h1, uint8_t h2, const std::vector<uint8_t>& p) {
        rig.receive(h1, h2, p);
        ASSERT_TRUE(rig.waitDelivered(++n));
    };
    deliver(0x70, 0x12, {0x03, 0x41, 0x42});
    EXPECT_EQ(form.rows().rowCount(), 0) << "every box starts unchecked";
    vxtest::child<QCheckBox>(&form, "cb7012")->setChecked(true);
    deliver(0x70, 0x12, {0x03, 0x41, 0x42});
    ASSERT_EQ(form.rows().rowCount(), 1);
    EXPECT_EQ(form.rows().cell(0, 1), "0x70");
    EXPECT_EQ(form.rows().cell(0, 2), "0x12");
    EXPECT_EQ(form.rows().cell(0, 3), "BBDump: 3, len: 3");
    EXPECT_EQ(form.rows().cell(0, 4), "03 41 42 ");
    vxtest::child<QCheckBox>(&form, "cbTrace")->setChecked(false);
    deliver(0x70, 0x12, {0x01});
    EXPECT_EQ(form.rows().rowCount(), 1);
    vxtest::child<QCheckBox>(&form, "cbTrace")->setChecked(true);
    form.close();
    deliver(0x70, 0x12, {0x01});
    EXPECT_EQ(form.rows().rowCount(), 1) << "hidden: not traced, rows kept";
    vxtest::child<QPushButton>(&form, "btnClear")->click();
    EXPECT_EQ(form.rows().rowCount(), 0);
}

TEST(RowModel, KeepsTheNewestRowsAndCountsTheRest) {
    RowModel m({"A", "B"}, 3);
    for (int i = 0; i < 5; ++i) m.append({QString::number(i)});
    EXPECT_EQ(m.rowCount(), 3);
    EXPECT_EQ(m.cell(0, 0), "2");
    EXPECT_EQ(m.cell(2, 1), "") << "short rows are padded";
    EXPECT_EQ(m.dropped(), 2u);
    EXPECT_EQ(m.headerData(1, Qt::Horizontal).toString(), "B");
    m.clear();
    EXPECT_EQ(m.rowCount(), 0);
    EXPECT_EQ(m.dropped(), 0u);
}

TEST_F(ConsoleOnSimulatedReceiver, TracesFillFromTheReceiversOwnOutput) {
    startSimulatedReceiver();
    menuItem("BBRAM Trace...")->trigger();
    menuItem("Vexor Trace...")->trigger();
    menuItem("BBRAM Unit Test...")->trigger();
    auto* bbram = windows->find<TBbramTraceForm>(vx::WindowId::TBbramTraceForm);
    auto* vexor = windows->find<TVexorTraceForm>(vx::WindowId::TVexorTraceForm);
    auto* unit = windows->find<TBbramUnitTestForm>(vx::WindowId::TBbramUnitTestForm);
    ASSERT_TRUE(bbram && vexor && unit);
    for (const char* box : {"cb30", "cb7010", "cb7011", "cb7012"})
        vxtest::child<QCheckBox>(vexor, box)->setChecked(true);
    // The receiver's BBRAM activity and channel diagnostics on.
    vx::DiagOutputMask mask{};
    for (uint8_t sub : {0x0C, 0x10, 0x11, 0x12}) mask[sub / 8] |= uint8_t(1u << (sub % 8));
    ASSERT_EQ(vx::setDiagOutput(console->sink(), mask), 0);
    // Eleven seconds, one at a time (the console takes each second's reports in turn).
    for (int second = 0; second < 11; ++second) {
        const uint64_t before = console->delivered();
        ASSERT_TRUE(sim->advance(1000));
        ASSERT_TRUE(pumpUntil([&] { return console->delivered() > before; }));
    }
    ASSERT_TRUE(pumpUntil([&] { return bbram->rows().rowCount() > 0; }));
    auto rowsOf = [&](const char* code, const char* sub) {
        int count = 0;
        for (int r = 0; r < vexor->rows().rowCount(); ++r)
            count += vexor->rows().cell(r, 1) == code && vexor->rows().cell(r, 2) == sub;
        return count;
    };
    ASSERT_TRUE(pumpUntil([&] { return rowsOf("0x70", "0x10") > 0 && rowsOf("0x30", "0x02"); }));
    EXPECT_GT(rowsOf("0x70", "0x11"), 0);
    EXPECT_EQ(rowsOf("0x31", "0x01"), 0) << "not selected";
    bool userPosition = false;
    for (int r = 0; r < bbram->rows().rowCount(); ++r)
        userPosition |= bbram->rows().cell(r, 2) == "PF_USER_ECEF";
    EXPECT_TRUE(userPosition) << "the user position is stored every 10 s";

    // The unit test's Store: a 700D reply and a 700C activity per structure.
    const int before = bbram->rows().rowCount();
    vxtest::child<QRadioButton>(unit, "rgTest1")->click();
    vxtest::child<QPushButton>(unit, "btnStore")->click();
    auto* memo = vxtest::child<QPlainTextEdit>(unit, "mmResults");
    ASSERT_TRUE(pumpUntil([&] { return memo->toPlainText().contains("0x01 0x00 "); }));
    EXPECT_TRUE(pumpUntil([&] { return bbram->rows().rowCount() >= before + 8; }));
}
