// The batch sender against the simulated receiver on a pseudo-terminal: how closely it keeps a
// 20 ms send interval, and how responsive the window stays with five rows at interval 0.
//
// The "Batch Generic Packets" window runs on a console whose link is a pseudo-terminal served
// by the simulated receiver (real time). Every frame the window writes is time-stamped on its
// way to the link.
//  1. Five rows, send and batch interval 20 ms, CYCLES cycles: the gaps between consecutive
//     sends, their median and worst deviation from 20 ms.
//  2. The same five rows at interval 0 for SECONDS: sends per second, and the longest wait of a
//     10 ms timer (what a user feels as a frozen window), with every response still counted.
//
//   bench_batch_qt [CYCLES] [SECONDS]
#include "console/console_qt.h"
#include "sim/sim_runner.h"
#include "testtools/batch_generic_form.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

// Forwards to the link and notes when each frame went out (called on the window's writer
// thread; read once the writer is idle).
class TimingSink : public vx::FrameSink {
public:
    explicit TimingSink(vx::FrameSink& link) : link_(link) { clock_.start(); }
    int sendFrame(const uint8_t* bytes, uint16_t length) override {
        const double t0 = double(clock_.nsecsElapsed()) / 1e6;
        stamps.push_back(t0);
        int rc = link_.sendFrame(bytes, length);
        longestWriteMs = std::max(longestWriteMs, double(clock_.nsecsElapsed()) / 1e6 - t0);
        return rc;
    }
    std::vector<double> stamps; // ms
    double longestWriteMs = 0;

private:
    vx::FrameSink& link_;
    QElapsedTimer clock_;
};

void pump(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[size_t(p * double(v.size() - 1))];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 100;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 5;
    QApplication app(argc, argv);

    vx::sim::SimRunner sim;
    std::string path;
    if (!sim.startOnPty(&path)) {
        std::fprintf(stderr, "cannot start the simulated receiver: %s\n", sim.error().c_str());
        return 1;
    }
    vx::ComSlots comMap;
    comMap.setPath(0, path);
    vx::SerialLink link(comMap);
    Console console(link);
    TimingSink timing(link);
    console.setSink(&timing);
    TbatchGenericForm form(console);
    form.show();
    if (console.startMonitor(vx::LinkSettings{}) != 0) {
        std::fprintf(stderr, "%s\n", console.lastError().toStdString().c_str());
        return 1;
    }
    pump([&] { return console.delivered() > 0; }, 30000); // the receiver has started

    const char* rows[] = {"02 21 01", "01 21 01 05", "02 11 01", "02 26 01", "01 22 02 00"};
    for (int i = 0; i < 5; ++i)
        form.findChild<QLineEdit*>(QString("dataWin%1").arg(i))->setText(rows[i]);
    auto run = [&](int interval, int n) {
        form.findChild<QLineEdit*>("sendIntervalWin")->setText(QString::number(interval));
        form.findChild<QLineEdit*>("batchIntervalWin")->setText(QString::number(interval));
        form.findChild<QLineEdit*>("cyclesWin")->setText(QString::number(n));
        timing.stamps.clear();
        form.startButtonClick();
    };
    auto counts = [&](uint64_t& sent, uint64_t& answered, uint64_t& missed) {
        sent = answered = missed = 0;
        for (int i = 0; i < 5; ++i) {
            const vx::BatchRowResponses& r = form.rowResponses(i);
            sent += r.sentCount();
            answered += r.successes() + r.errors();
            missed += r.missed();
        }
    };

    // 1. 20 ms.
    run(20, cycles);
    pump([&] { return !form.running(); }, 600000);
    form.waitWritten(10000);
    std::vector<double> dev;
    for (size_t i = 1; i < timing.stamps.size(); ++i)
        dev.push_back(std::fabs(timing.stamps[i] - timing.stamps[i - 1] - 20.0));
    uint64_t sent, answered, missed;
    counts(sent, answered, missed);
    std::printf("interval 20 ms, 5 rows, %d cycles: %zu sends; deviation from 20 ms: median %.3f "
                "ms, 95th percentile %.3f ms, worst %.3f ms; %llu answered, %llu missed\n",
                cycles, timing.stamps.size(), percentile(dev, 0.5), percentile(dev, 0.95),
                percentile(dev, 1.0), (unsigned long long)answered, (unsigned long long)missed);

    // 2. Interval 0: as fast as the event loop and the port allow.
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, worst = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        worst = std::max(worst, clock.elapsed() - last);
        last = clock.elapsed();
    });
    run(0, 1'000'000'000);
    QElapsedTimer ran;
    ran.start();
    last = clock.elapsed();
    probe.start(10);
    pump([&] { return ran.elapsed() >= seconds * 1000; }, seconds * 1000 + 1000);
    probe.stop();
    form.waitWritten(10000);
    const size_t fastSends = timing.stamps.size();
    QElapsedTimer stopping;
    stopping.start();
    form.stopButtonClick();
    pump([&] { return !form.running(); }, 60000);
    counts(sent, answered, missed);
    std::printf("interval 0 ms, 5 rows, %d s: %.0f sends/s; event loop worst gap %lld ms (10 ms "
                "timer); %llu sent, %llu answered, %llu missed; longest frame write %.1f ms; Stop "
                "to idle %lld ms (1 s grace)\n",
                seconds, double(fastSends) / seconds, (long long)worst, (unsigned long long)sent,
                (unsigned long long)answered, (unsigned long long)missed, timing.longestWriteMs,
                (long long)stopping.elapsed());

    console.stopMonitor();
    sim.stop();
    return 0;
}
