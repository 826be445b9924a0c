// The dialog base: Escape, the close box and close() are one path through closeRequested(),
// which can refuse; Enter in a field clicks nothing.
#include "widgets/console_dialog_qt.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

class Probe : public ConsoleDialog {
public:
    Probe() {
        auto* layout = new QVBoxLayout(this);
        edit = new QLineEdit(this);
        button = new QPushButton("Start", this);
        layout->addWidget(edit);
        layout->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this] { ++clicks; });
    }
    bool closeRequested() override {
        ++closings;
        return !refuse;
    }
    QLineEdit* edit;
    QPushButton* button;
    int closings = 0, clicks = 0;
    bool refuse = false;
};

enum class Way { Escape, CloseBox, Close };

void closeBy(Probe& p, Way way) {
    switch (way) {
    case Way::Escape:
        QTest::keyClick(p.edit, Qt::Key_Escape);
        break;
    case Way::CloseBox: {
        // What the window manager's close request becomes, then hides the window if accepted.
        QCloseEvent e;
        QApplication::sendEvent(&p, &e);
        if (e.isAccepted()) p.hide();
        break;
    }
    case Way::Close:
        p.close();
        break;
    }
}

TEST(ConsoleDialog, EscapeCloseBoxAndCloseTakeOnePath) {
    for (Way way : {Way::Escape, Way::CloseBox, Way::Close}) {
        SCOPED_TRACE(int(way));
        Probe p;
        p.show();
        closeBy(p, way);
        EXPECT_EQ(p.closings, 1);
        EXPECT_FALSE(p.isVisible());

        // A window that refuses stays shown, whichever way the user tries.
        p.show();
        p.refuse = true;
        closeBy(p, way);
        EXPECT_EQ(p.closings, 2);
        EXPECT_TRUE(p.isVisible());
    }
}

TEST(ConsoleDialog, EnterInAFieldClicksNothing) {
    Probe p;
    p.show();
    p.button->setDefault(true);
    QTest::keyClick(p.edit, Qt::Key_Return);
    QTest::keyClick(p.edit, Qt::Key_Enter);
    EXPECT_EQ(p.clicks, 0);
    EXPECT_TRUE(p.isVisible());
}

} // namespace
