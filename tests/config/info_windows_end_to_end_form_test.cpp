// The information, diagnostic output and RTC windows against the simulated receiver: each
// opened from its menu item fills from the receiver's answers, and what the Sets write is what
// the next Query reads back.
#include "support/console_fixture_qt.h"
#include "widgets/lamp_qt.h"
#include "widgets/panel_qt.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using vxtest::child;
using vxtest::ConsoleOnSimulatedReceiver;
using vxtest::pumpUntil;

namespace {

bool turns(QWidget* w, const char* led, const QColor& colour) {
    return pumpUntil([&] { return child<Lamp>(w, led)->colour() == colour; });
}

TEST_F(ConsoleOnSimulatedReceiver, InformationWindowsFillAndSetsReadBack) {
    startSimulatedReceiver();

    // Customer data: block 1 as shipped; block 2 is not available.
    menuItem("Customer Data Blocks (0x15)...")->trigger();
    QWidget* c = windows->find(vx::WindowId::Tpkt15Form);
    ASSERT_NE(c, nullptr);
    child<QLineEdit>(c, "viewEdit")->setText("1");
    child<QPushButton>(c, "queryButton")->click();
    ASSERT_TRUE(turns(c, "queryLED", lamp::kGreen));
    EXPECT_EQ(child<QPlainTextEdit>(c, "byteMemo")->toPlainText(),
              "43 41 4C 2D 30 31 00 10 \n27 00 ");
    child<QLineEdit>(c, "viewEdit")->setText("2");
    child<QPushButton>(c, "queryButton")->click();
    ASSERT_TRUE(turns(c, "queryLED", lamp::kRed));
    EXPECT_EQ(child<QPlainTextEdit>(c, "byteMemo")->toPlainText(), "Data not available.");

    // Report codes, then the subcodes of 0x26.
    menuItem("Available Report and Sub Codes (2601, 2602)...")->trigger();
    QWidget* r = windows->find(vx::WindowId::Tpkt2601Form);
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(turns(r, "queryLED", lamp::kGreen));
    auto* list = child<QListWidget>(r, "CodesListBox");
    const auto found = list->findItems("0x26", Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(list->item(0)->text(), "0x10");
    list->setCurrentItem(found.front());
    child<QPushButton>(r, "subcodesButton")->click();
    ASSERT_TRUE(turns(r, "querySubLED", lamp::kGreen));
    EXPECT_EQ(child<Panel>(r, "Label2")->text(), "0x26");
    EXPECT_EQ(child<QPlainTextEdit>(r, "subcodeMemo")->toPlainText(),
              "0x01\n0x02\n0x03\n0x04\n0x05");

    // The DPP model: one LED for the three subcodes.
    menuItem("DPP Model (2603 - 2605)...")->trigger();
    QWidget* d = windows->find(vx::WindowId::Tpkt2603_04_05Form);
    ASSERT_NE(d, nullptr);
    ASSERT_TRUE(turns(d, "queryLED", lamp::kGreen));
    EXPECT_TRUE(child<QPlainTextEdit>(d, "maxAppSpdMemo")->toPlainText().endsWith("Unlimited"));
    EXPECT_TRUE(child<QPlainTextEdit>(d, "maxCalSpdMemo")->toPlainText().endsWith("45.0"));

    // Diagnostic output: Set 0x70-0C, and the next Query shows it.
    menuItem("Diagnostic Message Output (707F)...")->trigger();
    QWidget* m = windows->find(vx::WindowId::Tpkt707FForm);
    ASSERT_NE(m, nullptr);
    ASSERT_TRUE(turns(m, "queryLED", lamp::kGreen));
    EXPECT_FALSE(child<QCheckBox>(m, "CheckBox0C")->isChecked());
    child<QCheckBox>(m, "CheckBox0C")->setChecked(true);
    child<QPushButton>(m, "setButton")->click();
    ASSERT_TRUE(turns(m, "setLED", lamp::kGreen));
    child<QCheckBox>(m, "CheckBox0C")->setChecked(false);
    child<QPushButton>(m, "queryButton")->click();
    ASSERT_TRUE(turns(m, "queryLED", lamp::kGreen));
    EXPECT_TRUE(child<QCheckBox>(m, "CheckBox0C")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(m, "CheckBox0D")->isChecked());

    // The real-time clock: the receiver's clock stands still, so it reads back what was set.
    menuItem("Set RTC...")->trigger();
    QWidget* t = windows->find(vx::WindowId::TsetRtcForm);
    ASSERT_NE(t, nullptr);
    child<QLineEdit>(t, "weekNumWin")->setText("1400");
    child<QLineEdit>(t, "towWin")->setText("345600000");
    child<QPushButton>(t, "setButton01")->click();
    ASSERT_TRUE(turns(t, "setLED", lamp::kGreen));
    child<QLineEdit>(t, "weekNumWin")->clear();
    child<QLineEdit>(t, "towWin")->clear();
    child<QPushButton>(t, "queryButton01")->click();
    ASSERT_TRUE(turns(t, "queryLED", lamp::kGreen));
    EXPECT_EQ(child<QLineEdit>(t, "weekNumWin")->text(), "1400");
    EXPECT_EQ(child<QLineEdit>(t, "towWin")->text(), "345600000");
}

} // namespace
