// The settings dialog base, tested once through its dialogs on a real pseudo-terminal: the
// request cycle of a multi-subcode group (GPS configuration), groups on tab pages that do not
// supersede each other (DR filter), replies by routed subcode including the nested 0x02 form,
// acknowledgement rules, refusals of what cannot be sent, and timer-paced Set frames. Then, per
// dialog, its own texts, and each family end to end on the simulated receiver.
#include "config/mask_form.h"
#include "config/pkt25_form.h"
#include "config/pkt27_form.h"
#include "sim/sim_runner.h"
#include "support/console_rig_qt.h"
#include "widgets/lamp_qt.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>

using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::ConsoleRig;
using vxtest::ConsoleWindows;
using vxtest::pumpUntil;

namespace {

const QColor kWhite = lamp::kWhite;
const QColor kGreen = lamp::kGreen;
const QColor kRed = lamp::kRed;

std::vector<uint8_t> f32(float f) {
    uint8_t b[4];
    std::memcpy(b, &f, 4);
    return {b[0], b[1], b[2], b[3]};
}

// Replies of the GPS configuration's eight subcodes, as the receiver sends them.
std::vector<uint8_t> gpsReply(uint8_t sub) {
    switch (sub) {
    case 1:
        return {4};
    case 2:
        return {2};
    case 3:
        return {17};
    case 4:
        return f32(7.5f);
    case 5:
        return {175, 0};
    case 6:
        return f32(12.0f);
    case 7:
        return f32(6.0f);
    default:
        return {30, 0};
    }
}

constexpr const char* kGpsQueries = "81 02 24 01 D6 82 81 02 24 02 D5 82 81 02 24 03 D4 82 "
                                    "81 02 24 04 D3 82 81 02 24 05 D2 82 81 02 24 06 D1 82 "
                                    "81 02 24 07 D0 82 81 02 24 08 CF 82";

template <class T> T* child(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

struct Gps {
    ConsoleRig rig;
    TmaskForm form{rig.console};
    Lamp* queryLED = child<Lamp>(form, "queryLED");
    Lamp* setLED = child<Lamp>(form, "setLED");
    QLineEdit* elev = child<QLineEdit>(form, "elevWin");
    QLineEdit* snr = child<QLineEdit>(form, "snrWin");
    QLineEdit* dop = child<QLineEdit>(form, "dopWin");
    QLineEdit* dopSwitch = child<QLineEdit>(form, "dopSwitchWin");
    QLineEdit* age = child<QLineEdit>(form, "dgpsWin");
    QComboBox* oper = child<QComboBox>(form, "operBox");
    QComboBox* dgps = child<QComboBox>(form, "dgpsBox");
    QComboBox* dynamic = child<QComboBox>(form, "dynamicBox");

    bool open() {
        if (!rig.start()) return false;
        form.show();
        return rig.sentHex(48) == kGpsQueries;
    }
    uint64_t delivered() const { return rig.console.delivered(); }
};

TEST(SettingsForm, OpeningQueriesEveryFieldAndRepliesFillThemInAnyOrder) {
    Gps d;
    ASSERT_TRUE(d.open());
    EXPECT_EQ(d.queryLED->colour(), kWhite);
    EXPECT_EQ(d.setLED->colour(), kWhite);
    EXPECT_TRUE(d.form.queryPending());

    const uint64_t before = d.delivered();
    for (uint8_t sub : {8, 3, 1, 7, 2, 5, 4}) d.rig.receive(0x24, sub, gpsReply(sub));
    ASSERT_TRUE(d.rig.waitDelivered(before + 7));
    EXPECT_EQ(d.queryLED->colour(), kWhite); // one still missing
    EXPECT_EQ(d.oper->currentText(), "Full Pos (3D)");
    EXPECT_EQ(d.dgps->currentText(), "If Available");
    EXPECT_EQ(d.dynamic->currentText(), "Automobile");
    EXPECT_EQ(d.elev->text(), "7.50");
    EXPECT_EQ(d.snr->text(), "35.0");
    EXPECT_EQ(d.dopSwitch->text(), "6.00");
    EXPECT_EQ(d.age->text(), "30");

    // The time-out paints the query LED red but keeps the missing subcode pending: a late
    // reply still completes the request.
    d.form.responseTimerTimer();
    EXPECT_EQ(d.queryLED->colour(), kRed);
    EXPECT_TRUE(d.form.queryPending());
    d.rig.receive(0x24, 6, gpsReply(6));
    ASSERT_TRUE(d.rig.waitDelivered(before + 8));
    EXPECT_EQ(d.dop->text(), "12.00");
    EXPECT_EQ(d.queryLED->colour(), kGreen);
    EXPECT_FALSE(d.form.queryPending());
    EXPECT_EQ(d.setLED->colour(), kWhite);
}

TEST(SettingsForm, NestedReplyFillsOnlyItsControlAndLeavesPendingAlone) {
    Gps d;
    ASSERT_TRUE(d.open());
    const uint64_t before = d.delivered();
    // 0x02 / 0x24: the nested form, its first payload byte the subcode.
    std::vector<uint8_t> nested = {0x04};
    for (uint8_t b : f32(9.25f)) nested.push_back(b);
    d.rig.receive(0x02, 0x24, nested);
    ASSERT_TRUE(d.rig.waitDelivered(before + 1));
    EXPECT_EQ(d.elev->text(), "9.25");
    EXPECT_EQ(d.snr->text(), "");
    EXPECT_EQ(d.queryLED->colour(), kGreen);
    EXPECT_TRUE(d.form.queryPending()); // all eight still wait for their replies
    d.form.responseTimerTimer();
    EXPECT_EQ(d.queryLED->colour(), kRed);

    // A nested Kalman packet reaches the Kalman window by its own route, not this one.
    d.rig.receive(0x02, 0x25, {0x03, 25, 0, 0, 0});
    ASSERT_TRUE(d.rig.waitDelivered(before + 2));
    EXPECT_EQ(d.queryLED->colour(), kRed);
}

TEST(SettingsForm, SetReadsEveryControlFirstAndRefusesWhatCannotBeSent) {
    std::vector<vxtest::Message> boxes;
    msg::setInterceptor([&](msg::Kind k, const QString& t, const QString& x) {
        boxes.push_back({k, t, x});
    });
    Gps d;
    ASSERT_TRUE(d.open());
    d.form.responseTimerTimer();
    struct Case {
        QLineEdit* box;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {d.elev, "", "Elevation: not a valid number."},
        {d.snr, "abc", "SNR: not a valid number."},
        {d.dop, "nan", "DOP: not a valid number."},
        {d.age, "70000", "DGPS age: 70000 is out of range (0 to 65535)."},
        {d.age, "-1", "DGPS age: -1 is out of range (0 to 65535)."},
    };
    for (const Case& c : cases) {
        d.elev->setText("5");
        d.snr->setText("35");
        d.dop->setText("10");
        d.dopSwitch->setText("6");
        d.age->setText("30");
        c.box->setText(c.text);
        boxes.clear();
        d.form.setButtonClick();
        ASSERT_EQ(boxes.size(), 1u) << c.text;
        EXPECT_EQ(boxes[0].title, "Error");
        EXPECT_EQ(boxes[0].text, c.message);
        EXPECT_FALSE(d.form.setPending());
        EXPECT_EQ(d.setLED->colour(), kWhite) << "LEDs keep their colours";
        EXPECT_EQ(d.queryLED->colour(), kRed) << "LEDs keep their colours";
    }
    // A list left with no item (a reply it has no item for) refuses the Set too.
    d.age->setText("30");
    d.oper->setCurrentIndex(-1);
    boxes.clear();
    d.form.setButtonClick();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Operating Dimension: no item selected.");
    EXPECT_FALSE(d.form.sending());    // nothing waits to go out later
    EXPECT_EQ(d.rig.sentNowHex(), ""); // not one frame of a refused Set
    msg::setInterceptor(nullptr);
}

TEST(SettingsForm, SetFramesGoOutFiftyMillisecondsApartFromATimer) {
    Gps d;
    ASSERT_TRUE(d.open());
    d.elev->setText("5");
    d.snr->setText("35");
    d.dop->setText("10");
    d.dopSwitch->setText("6");
    d.age->setText("30");
    QTest::mouseClick(child<QPushButton>(d.form, "setButton"), Qt::LeftButton);
    // The click returns before the pauses: only the first frame is out, the rest follow from a
    // timer (a click that slept through them would have sent all eight).
    EXPECT_TRUE(d.form.sending());
    // The button that started the paced Set stays disabled until its last frame is out.
    auto* setButton = child<QPushButton>(d.form, "setButton");
    EXPECT_FALSE(setButton->isEnabled());
    EXPECT_TRUE(child<QPushButton>(d.form, "queryButton")->isEnabled());
    EXPECT_EQ(d.rig.sentNowHex(), "81 01 24 01 00 D7 82");
    EXPECT_EQ(d.queryLED->colour(), kWhite);
    EXPECT_EQ(d.setLED->colour(), kWhite);
    EXPECT_FALSE(d.form.queryPending());
    EXPECT_TRUE(d.form.setPending());
    // Seven pauses of 50 ms, one after each frame but the last, each ended by hand.
    EXPECT_EQ(vxtest::endPacedPauses(d.form), std::vector<int>(7, 50));
    EXPECT_TRUE(setButton->isEnabled());
    EXPECT_EQ(d.rig.sentHex(7 + 7 + 10 + 8 + 10 + 10 + 8),
              "81 01 24 02 01 D5 82 81 01 24 03 11 C4 82 81 01 24 04 00 00 A0 40 F4 82 "
              "81 01 24 05 AF 00 24 82 81 01 24 06 00 00 20 41 71 82 "
              "81 01 24 07 00 00 C0 40 D1 82 81 01 24 08 1E 00 B2 82");

    // Every subcode accepted but the elevation: the set LED is red and stays red at expiry.
    const uint64_t before = d.delivered();
    for (uint8_t sub = 1; sub <= 8; ++sub)
        d.rig.ack(0x01, {0x24, sub, uint8_t(sub == 4 ? 0x05 : 0x00)});
    // An acknowledgement of a subcode the window does not have changes nothing.
    d.rig.ack(0x01, {0x24, 0x09, 0x00});
    ASSERT_TRUE(d.rig.waitDelivered(before + 9));
    EXPECT_EQ(d.setLED->colour(), kRed);
    EXPECT_TRUE(d.form.setPending());
    d.form.responseTimerTimer();
    EXPECT_EQ(d.setLED->colour(), kRed);
    // The refused subcode accepted on a second try completes the Set.
    d.rig.ack(0x01, {0x24, 0x04, 0x00});
    ASSERT_TRUE(d.rig.waitDelivered(before + 10));
    EXPECT_EQ(d.setLED->colour(), kGreen);
}

TEST(SettingsForm, RefusedQueryPaintsRedAndRepliesStillComplete) {
    Gps d;
    ASSERT_TRUE(d.open());
    const uint64_t before = d.delivered();
    d.rig.ack(0x02, {0x24, 0x03, 0x03});
    ASSERT_TRUE(d.rig.waitDelivered(before + 1));
    EXPECT_EQ(d.queryLED->colour(), kRed);
    EXPECT_TRUE(d.form.queryPending()); // the flags are not touched
    for (uint8_t sub = 1; sub <= 8; ++sub) d.rig.receive(0x24, sub, gpsReply(sub));
    ASSERT_TRUE(d.rig.waitDelivered(before + 9));
    EXPECT_EQ(d.queryLED->colour(), kGreen);
}

struct Dr {
    ConsoleRig rig;
    Tpkt27Form form{rig.console};
    bool start() { return rig.start(); }
    Lamp* led(const char* name) { return child<Lamp>(form, name); }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(form, name); }
    uint64_t delivered() const { return rig.console.delivered(); }
};

TEST(SettingsForm, GroupsOnTabPagesAreJudgedOnTheirOwn) {
    Dr d;
    ASSERT_TRUE(d.start());
    d.form.show();
    EXPECT_FALSE(d.form.sending());
    EXPECT_EQ(d.rig.sentNowHex(), ""); // showing sends nothing

    QTest::mouseClick(child<QPushButton>(d.form, "queryButton1"), Qt::LeftButton);
    std::string twelve;
    for (int sub = 0x10; sub <= 0x1B; ++sub) {
        char b[32];
        std::snprintf(b, sizeof b, "%s81 02 27 %02X %02X 82", twelve.empty() ? "" : " ", sub,
                      (0x100 - (0x81 + 0x82 + 0x02 + 0x27 + sub) % 0x100) % 0x100);
        twelve += b;
    }
    EXPECT_EQ(d.rig.sentHex(12 * 6), twelve);
    QTest::mouseClick(child<QPushButton>(d.form, "queryButton7"), Qt::LeftButton);
    EXPECT_EQ(d.rig.sentHex(6), "81 02 27 70 64 82");
    EXPECT_EQ(d.led("queryLED1")->colour(), kWhite);
    EXPECT_EQ(d.led("queryLED7")->colour(), kWhite);

    // Group 1 answered in full, group 7 not at all.
    const uint64_t before = d.delivered();
    for (int sub = 0x10; sub <= 0x1B; ++sub) {
        int32_t v = -sub;
        std::vector<uint8_t> p(4);
        std::memcpy(p.data(), &v, 4);
        d.rig.receive(0x27, uint8_t(sub), p);
    }
    ASSERT_TRUE(d.rig.waitDelivered(before + 12));
    EXPECT_EQ(d.led("queryLED1")->colour(), kGreen);
    EXPECT_EQ(d.edit("Edit10")->text(), "-16");
    EXPECT_EQ(d.edit("Edit1B")->text(), "-27");
    d.form.responseTimerTimer();
    EXPECT_EQ(d.led("queryLED7")->colour(), kRed);
    EXPECT_EQ(d.led("queryLED1")->colour(), kGreen);
    EXPECT_EQ(d.led("setLED7")->colour(), kWhite); // Query does not touch the set LED
    EXPECT_FALSE(d.form.responseTimer()->isActive());

    // A late reply turns its group green and sets the timer going again; a subcode the window
    // does not show changes nothing.
    d.rig.receive(0x27, 0x70, f32(0.25f));
    d.rig.receive(0x27, 0x30, f32(1.0f));
    ASSERT_TRUE(d.rig.waitDelivered(before + 14));
    EXPECT_EQ(d.edit("Edit70")->text(), "0.25");
    EXPECT_EQ(d.led("queryLED7")->colour(), kGreen);
    EXPECT_TRUE(d.form.responseTimer()->isActive());

    // A Set of page 4 leaves page 4's query LED alone; a refusal for one of its subcodes
    // paints only its own group.
    d.edit("Edit45")->setText("2.5");
    for (int sub = 0x40; sub <= 0x4F; ++sub)
        if (sub != 0x45)
            d.edit(("Edit" + QString::number(sub, 16).toUpper()).toLatin1().constData())
                ->setText("1");
    QTest::mouseClick(child<QPushButton>(d.form, "setButton4"), Qt::LeftButton);
    EXPECT_EQ(d.led("setLED4")->colour(), kWhite);
    EXPECT_EQ(d.led("queryLED4")->colour(), kWhite);
    ASSERT_TRUE(pumpUntil([&] { return !d.form.sending(); }));
    const std::string sent = d.rig.sentHex(16 * 10);
    EXPECT_NE(sent.find("81 01 27 45 00 00 20 40 30 82"), std::string::npos) << sent;
    d.rig.ack(0x01, {0x27, 0x45, 0x04});
    ASSERT_TRUE(d.rig.waitDelivered(before + 15));
    EXPECT_EQ(d.led("setLED4")->colour(), kRed);
    EXPECT_EQ(d.led("setLED5")->colour(), kWhite);
    EXPECT_EQ(d.led("queryLED7")->colour(), kGreen);
}

// The windows on the console's dialog base are centred on their screen the first time they are
// shown, with their size fixed first; later showings leave them where the user put them.
TEST(ConsoleDialogPlacement, CentredOnFirstShowingOnly) {
    vxtest::OfflineConsole offline;
    TmaskForm form(offline.console);
    form.show();
    QApplication::processEvents();
    QScreen* screen = form.screen();
    ASSERT_NE(screen, nullptr);
    const QPoint centre = screen->availableGeometry().center();
    EXPECT_LE((form.frameGeometry().center() - centre).manhattanLength(), 2);
    EXPECT_EQ(form.minimumSize(), form.maximumSize()); // fixed size
    form.hide();
    form.move(10, 20);
    form.show();
    QApplication::processEvents();
    EXPECT_EQ(form.pos(), QPoint(10, 20));
}

// ---- Each dialog's own texts --------------------------------------------------------------------

TEST(SettingsDialogTexts, CaptionsLabelsAndObjectNames) {
    vxtest::OfflineConsole offline;
    TmaskForm mask(offline.console);
    Tpkt25Form kalman(offline.console);
    Tpkt27Form dr(offline.console);
    EXPECT_EQ(mask.windowTitle(), "GPS Configuration (0x24)");
    EXPECT_EQ(mask.objectName(), "maskForm");
    EXPECT_EQ(kalman.windowTitle(), "Kalman Filter Parameters (0x25)");
    EXPECT_EQ(dr.windowTitle(), "DR Filter Configuration (0x27)");
    EXPECT_EQ(dr.objectName(), "pkt27Form");

    EXPECT_EQ(child<QGroupBox>(mask, "modeGroupBox")->title(), "Modes");
    EXPECT_EQ(child<QGroupBox>(mask, "maskGroupBox")->title(), "Masks");
    EXPECT_EQ(child<QPushButton>(mask, "closeButtton")->text(), "Close");
    EXPECT_EQ(child<QComboBox>(mask, "operBox")->currentText(), "Auto 2D/3D");
    EXPECT_EQ(child<QComboBox>(mask, "dgpsBox")->currentText(), "Ignore");
    EXPECT_EQ(child<QComboBox>(mask, "dynamicBox")->currentText(), "Automobile");
    EXPECT_EQ(child<QComboBox>(mask, "operBox")->count(), 3);

    QStringList labels;
    for (QLabel* l : mask.findChildren<QLabel*>()) labels << l->text();
    for (const char* t : {"Operating Dimension:", "DGPS Mode:", "Dynamic Code:", "Elevation:",
                          "deg", "SNR:", "dBHz", "DOP:", "DOP switch:", "DGPS age:", "s"})
        EXPECT_TRUE(labels.contains(t)) << t;

    EXPECT_EQ(child<QGroupBox>(kalman, "GroupBox1")->title(), "Filter Paramters");
    for (int i = 1; i <= 23; ++i)
        EXPECT_NE(kalman.findChild<QLineEdit*>(QString("pkt25Win%1").arg(i)), nullptr) << i;
    labels.clear();
    for (QLabel* l : kalman.findChildren<QLabel*>()) labels << l->text();
    EXPECT_TRUE(labels.contains("MaxAcc:"));
    EXPECT_TRUE(labels.contains(QString::fromUtf8("m/s\u00b2")));
    EXPECT_TRUE(labels.contains("fltMaxHVar:"));

    auto* tabs = child<QTabWidget>(dr, "PageControl1");
    QStringList pages;
    for (int i = 0; i < tabs->count(); ++i) pages << tabs->tabText(i);
    EXPECT_EQ(pages, (QStringList{"0x01 - 0x0F", "0x10 - 0x1B", "0x40 - 0x4F", "0x50 - 0x5F",
                                  "0x60 - 0x6F", "0x70 - 0x70"}));
    for (const char* name : {"Edit1", "Edit9", "Edit0A", "Edit0F", "Edit10", "Edit1B", "Edit40",
                             "Edit4F", "Edit5A", "Edit6F", "Edit70"})
        EXPECT_NE(dr.findChild<QLineEdit*>(name), nullptr) << name;
    EXPECT_EQ(dr.findChild<QLineEdit*>("Edit1C"), nullptr);
    EXPECT_EQ(dr.findChildren<QLineEdit*>().size(), 76);
    for (int g : {0, 1, 4, 5, 6, 7}) {
        EXPECT_NE(dr.findChild<QPushButton*>(QString("queryButton%1").arg(g)), nullptr) << g;
        EXPECT_NE(dr.findChild<Lamp*>(QString("setLED%1").arg(g)), nullptr) << g;
    }
    labels.clear();
    for (QLabel* l : dr.findChildren<QLabel*>()) labels << l->text();
    for (const char* t : {"GPSVelEditHoldoff:", "cnts", "GSFCalcMinHdgChng:", "2e-15 sc",
                          "GyroSnsSig2:", "GSFCalcMaxGPSVar:"})
        EXPECT_TRUE(labels.contains(t)) << t;
}

// ---- Each family end to end on the simulated receiver -------------------------------------------

class SettingsOnSimulatedReceiver : public ConsoleOnSimulatedReceiver {
protected:
    void SetUp() override {
        ConsoleOnSimulatedReceiver::SetUp();
        startSimulatedReceiver();
    }
    bool settled(Lamp* led) {
        return pumpUntil([&] { return led->colour() != kWhite; });
    }
};

TEST_F(SettingsOnSimulatedReceiver, GpsConfigurationRoundTrips) {
    auto* form = windows->find<TmaskForm>(vx::WindowId::TmaskForm);
    ASSERT_NE(form, nullptr);
    QAction* item = menuItem("GPS Configuration (0x24)...");
    ASSERT_NE(item, nullptr);
    item->trigger();
    auto* queryLED = child<Lamp>(*form, "queryLED");
    auto* setLED = child<Lamp>(*form, "setLED");
    ASSERT_TRUE(settled(queryLED));
    EXPECT_EQ(queryLED->colour(), kGreen);
    for (const char* name : {"elevWin", "snrWin", "dopWin", "dopSwitchWin", "dgpsWin"})
        EXPECT_FALSE(child<QLineEdit>(*form, name)->text().isEmpty()) << name;
    for (const char* name : {"operBox", "dgpsBox", "dynamicBox"})
        EXPECT_GE(child<QComboBox>(*form, name)->currentIndex(), 0) << name;

    child<QLineEdit>(*form, "elevWin")->setText("12.5");
    QTest::mouseClick(child<QPushButton>(*form, "setButton"), Qt::LeftButton);
    vxtest::endPacedPauses(*form);
    ASSERT_TRUE(settled(setLED));
    EXPECT_EQ(setLED->colour(), kGreen);
    child<QLineEdit>(*form, "elevWin")->clear();
    QTest::mouseClick(child<QPushButton>(*form, "queryButton"), Qt::LeftButton);
    ASSERT_TRUE(settled(queryLED));
    EXPECT_EQ(queryLED->colour(), kGreen);
    EXPECT_EQ(child<QLineEdit>(*form, "elevWin")->text(), "12.50");
}

TEST_F(SettingsOnSimulatedReceiver, KalmanParameterRoundTrips) {
    auto* form = windows->find<Tpkt25Form>(vx::WindowId::Tpkt25Form);
    ASSERT_NE(form, nullptr);
    menuItem("&Kalman Filter Parameters (0x25)")->trigger();
    auto* queryLED = child<Lamp>(*form, "queryLED");
    ASSERT_TRUE(settled(queryLED));
    EXPECT_EQ(queryLED->colour(), kGreen);
    child<QLineEdit>(*form, "pkt25Win3")->setText("5.0");
    child<QLineEdit>(*form, "pkt25Win8")->setText("42.5");
    form->setButtonClick();
    auto* setLED = child<Lamp>(*form, "setLED");
    ASSERT_TRUE(settled(setLED));
    EXPECT_EQ(setLED->colour(), kGreen);
    child<QLineEdit>(*form, "pkt25Win3")->clear();
    form->queryButtonClick();
    ASSERT_TRUE(settled(queryLED));
    EXPECT_EQ(child<QLineEdit>(*form, "pkt25Win3")->text(), "5.0");
    EXPECT_EQ(child<QLineEdit>(*form, "pkt25Win8")->text(), "42.5");
}

TEST_F(SettingsOnSimulatedReceiver, DrFilterOneFieldOfEveryPageRoundTrips) {
    auto* form = windows->find<Tpkt27Form>(vx::WindowId::Tpkt27Form);
    ASSERT_NE(form, nullptr);
    menuItem("DR Filter (0x27)...")->trigger();
    struct Page {
        int group;
        const char* edit;
        const char* value;
    };
    const Page pages[] = {{0, "Edit7", "-1234"},  {1, "Edit1B", "77"},    {4, "Edit45", "2.5"},
                          {5, "Edit5F", "0.125"}, {6, "Edit60", "1e-05"}, {7, "Edit70", "3.75"}};
    for (const Page& p : pages) {
        const QString g = QString::number(p.group);
        auto* queryLED = form->findChild<Lamp*>("queryLED" + g);
        auto* setLED = form->findChild<Lamp*>("setLED" + g);
        ASSERT_TRUE(queryLED && setLED) << p.group;
        form->findChild<QPushButton*>("queryButton" + g)->click();
        ASSERT_TRUE(settled(queryLED)) << p.group;
        ASSERT_EQ(queryLED->colour(), kGreen) << p.group;
        child<QLineEdit>(*form, p.edit)->setText(p.value);
        form->findChild<QPushButton*>("setButton" + g)->click();
        ASSERT_TRUE(settled(setLED)) << p.group;
        EXPECT_EQ(setLED->colour(), kGreen) << p.group;
        child<QLineEdit>(*form, p.edit)->clear();
        form->findChild<QPushButton*>("queryButton" + g)->click();
        ASSERT_TRUE(pumpUntil([&] { return !child<QLineEdit>(*form, p.edit)->text().isEmpty(); }))
            << p.group;
        EXPECT_EQ(child<QLineEdit>(*form, p.edit)->text(), p.value) << p.group;
    }
}

} // namespace
