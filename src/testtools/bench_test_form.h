// The timed sensor bench tests on one base: a time interval group ("Time Interval (sec):",
// "Start", "Stop Immediately", the status) above the report group of the test's viewer spec.
// "Start" reads the seconds (refused with the test's range message), sends Set 2Fxx with them
// and waits; "Stop Immediately" sends Set 2Fxx with 0. The result report (routed whether or
// not the window is shown) fills the report group, says the test is complete and lets "Start"
// run again. The specs and views are Qt-free (testtools/bench_tests).
#pragma once

#include "console/report_view_form.h"
#include "testtools/bench_tests.h"

class Panel;
class QLineEdit;
class QPushButton;

class BenchTestForm : public ReportViewForm {
    Q_OBJECT
public:
    BenchTestForm(Console& console, const vx::BenchTestSpec& test, QWidget* parent = nullptr);

    bool running() const { return running_; }

public slots:
    void StartClick();
    void StopClick();

protected:
    // Shows every routed result report with view; the test is then over.
    template <class Record, class F> void showResults(F view) {
        showReplies<Record>([this, view](const Record& r, vx::ViewUpdates& u) {
            view(r, u);
            testEnded();
        });
    }

private:
    void testEnded();

    const vx::BenchTestSpec& test_;
    QLineEdit* timeIntervalWin_;
    QPushButton* start_;
    QPushButton* stop_;
    Panel* statusWin_;
    bool running_ = false;
};

class TDataCollectionTestForm : public BenchTestForm {
    Q_OBJECT
public:
    explicit TDataCollectionTestForm(Console& console, QWidget* parent = nullptr)
        : BenchTestForm(console, vx::dataCollectionTest(), parent) {
        showResults<vx::DataCollectionTestRecord>(vx::showDataCollectionTest);
    }
};

class TgyroBenchTest : public BenchTestForm {
    Q_OBJECT
public:
    explicit TgyroBenchTest(Console& console, QWidget* parent = nullptr)
        : BenchTestForm(console, vx::gyroBenchTest(), parent) {
        showResults<vx::GyroBenchTestRecord>(vx::showGyroBenchTest);
    }
};

class TtachoReverseBenchForm : public BenchTestForm {
    Q_OBJECT
public:
    explicit TtachoReverseBenchForm(Console& console, QWidget* parent = nullptr)
        : BenchTestForm(console, vx::tachoReverseTest(), parent) {
        showResults<vx::TachoReverseTestRecord>(vx::showTachoReverseTest);
    }
};
