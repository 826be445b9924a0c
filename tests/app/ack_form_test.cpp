// The acknowledgements list: rows and texts of every kind of acknowledgement, received through
// the real link, and the 299-row limit.
#include "app/ack_form.h"
#include "support/console_rig_qt.h"

#include <QScrollBar>
#include <QTableWidget>

#include <gtest/gtest.h>

using vxtest::ConsoleRig;

namespace {

QStringList row(const TackForm& f, int r) {
    QStringList out;
    for (int c = 0; c < TackForm::ColumnCount; ++c) out << f.cellText(r, c);
    return out;
}

TEST(AckForm, RowsForEveryKindOfAcknowledgement) {
    struct Case {
        uint8_t command;
        std::vector<uint8_t> payload;
        QStringList row; // empty: no row
    };
    const std::vector<Case> cases = {
        {0x01, {0x21, 0x01, 0x00}, {"Set", "0x21", "0x01", "None", "0x00: Successful"}},
        {0x02,
         {0x24, 0x05, 0x03, 0x05},
         {"Query", "0x24", "0x05", "0x03", "0x05: Data value error"}},
        {0x01, {0x21, 0x01, 0x0C}, {"Set", "0x21", "0x01", "None", "0x0C"}},
        {0x02,
         {0x26, 0x03, 0x80, 0x09},
         {"Query", "0x26", "0x03", "None", "0x09: Failed to execute properly"}},
        {0x01, {0x2E, 0x01, 0x7F, 0x01}, {"Set", "0x2E", "0x01", "0x7F", "0x01: Pre-parser error"}},
        {0x03, {0x01, 0x00}, {"System", "0x01", "None", "None", "0x00"}},
        {0x03, {0x09, 0x09}, {"System", "0x09", "None", "None", "0x09"}},
        {0x03, {0x09, 0x0C}, {"System", "0x09", "None", "None", "Unknown"}},
        {0x03, {0x0B, 0x0A}, {"System", "0x0B", "None", "None", "Unknown"}},
        {0x05, {0xAA}, {"", "", "", "", ""}}, // unknown command byte: an empty row
        {0x00, {}, {"", "", "", "", ""}},     // likewise
        {0x04, {0x21, 0x01, 0x00}, {}},       // subcode 4: nothing
    };

    ConsoleRig rig;
    TackForm form(rig.console);
    ASSERT_TRUE(rig.start());
    form.show();
    for (const Case& c : cases) rig.ack(c.command, c.payload);
    ASSERT_TRUE(rig.waitDelivered(cases.size()));

    int r = 0;
    for (const Case& c : cases) {
        if (c.row.isEmpty()) continue;
        EXPECT_EQ(row(form, r), c.row) << "row " << r;
        ++r;
    }
    EXPECT_EQ(form.rowCount(), r);

    // Only while visible.
    form.closeButtonClick();
    rig.ack(0x01, {0x21, 0x01, 0x00});
    ASSERT_TRUE(rig.waitDelivered(cases.size() + 1));
    EXPECT_EQ(form.rowCount(), r);

    form.show();
    form.clearButtonClick();
    EXPECT_EQ(form.rowCount(), 0);
}

TEST(AckForm, ListKeepsTheNewest299RowsAndShowsTheNewOne) {
    ConsoleRig rig;
    TackForm form(rig.console);
    form.show();
    for (int i = 0; i < 300; ++i) form.showAck({0x24, uint8_t(i), 0x80, 0}, 0x01);
    ASSERT_EQ(form.rowCount(), TackForm::kMaxRows);
    EXPECT_EQ(form.cellText(0, TackForm::ColSubcode), "0x01");   // the first (0x00) is gone
    EXPECT_EQ(form.cellText(298, TackForm::ColSubcode), "0x2B"); // 299 & 0xFF
    QScrollBar* bar = vxtest::child<QTableWidget>(&form, "lvAcks")->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    form.showAck({0x21, 0x01, 0x80, 0x00}, 0x01);
    EXPECT_EQ(form.rowCount(), TackForm::kMaxRows);
    EXPECT_EQ(form.cellText(0, TackForm::ColSubcode), "0x02");
    EXPECT_EQ(form.cellText(298, TackForm::ColCode), "0x21");
}

TEST(AckForm, ColumnsAndCaption) {
    ConsoleRig rig;
    TackForm form(rig.console);
    EXPECT_EQ(form.windowTitle(), "Acknowledgements");
    QStringList headers;
    for (int c = 0; c < TackForm::ColumnCount; ++c)
        headers << vxtest::child<QTableWidget>(&form, "lvAcks")->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headers, (QStringList{"Command", "Code", "Subcode", "Index", "Acknowledgement"}));
    EXPECT_TRUE(vxtest::child<QTableWidget>(&form, "lvAcks")->showGrid());
}

} // namespace
