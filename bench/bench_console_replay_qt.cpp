// The console during a replay with delay 0: how responsive the window stays, how fast Stop
// Monitor takes effect, and whether memory stays flat.
//
// The main window, COM Setup and Io Replay run as in the program (offscreen platform unless
// QT_QPA_PLATFORM says otherwise). The replay file is data/sample.vxr repeated to the given
// size (default 64 MB), replayed through COM Setup with a FastFix delay of 0. While it runs, a
// 10 ms timer measures the event loop's latency (the longest wait between two ticks is what a
// user feels as a frozen window) and the resident memory is sampled; after the given seconds
// (default 8) Stop Monitor is timed.
//
//   bench_console_replay_qt [MB] [SECONDS]
#include "app/main_form.h"
#include "app/sio_form.h"
#include "console/console_qt.h"
#include "program/window_catalogue_qt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

double rssMb() {
    std::ifstream in("/proc/self/statm");
    long pages = 0, resident = 0;
    in >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

std::string makeReplayFile(size_t megabytes) {
    std::ifstream in(SAMPLE_RECORDING, std::ios::binary);
    std::vector<char> sample((std::istreambuf_iterator<char>(in)), {});
    if (sample.empty()) {
        std::fprintf(stderr, "cannot read %s\n", SAMPLE_RECORDING);
        std::exit(1);
    }
    std::string path = "/tmp/ornivex_bench_replay_" + std::to_string(getpid()) + ".vxr";
    std::ofstream out(path, std::ios::binary);
    size_t written = 0;
    while (written < megabytes * 1024 * 1024) {
        out.write(sample.data(), std::streamsize(sample.size()));
        written += sample.size();
    }
    return path;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const size_t megabytes = argc > 1 ? size_t(std::atoi(argv[1])) : 64;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 8;
    QApplication app(argc, argv);

    const std::string file = makeReplayFile(megabytes);
    vx::ComSlots comMap;
    vx::SerialLink link(comMap);
    Console console(link);
    WindowSet windows(console, comMap, windowCatalogue());
    windows.createStartupWindows();
    auto* main = windows.find<TmainForm>(vx::WindowId::TmainForm);
    auto* sio = windows.find<TsioForm>(vx::WindowId::TsioForm);
    main->show();

    const double rssBefore = rssMb();
    sio->show();
    sio->findChild<QRadioButton*>("rbFile")->setChecked(true);
    sio->findChild<QLineEdit*>("edFilename")->setText(QString::fromStdString(file));
    QElapsedTimer clock;
    clock.start();
    sio->findChild<QPushButton*>("okButton")->click(); // switches monitoring to the replay
    if (!main->monitoring()) {
        std::fprintf(stderr, "replay did not start: %s\n",
                     console.lastError().toStdString().c_str());
        return 1;
    }

    // Event loop latency: the longest gap between two ticks of a 10 ms timer.
    qint64 lastTick = clock.elapsed();
    qint64 worstGap = 0;
    std::vector<qint64> gaps;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        qint64 now = clock.elapsed();
        gaps.push_back(now - lastTick);
        worstGap = std::max(worstGap, now - lastTick);
        lastTick = now;
    });
    ticker.start();

    double rssMin = 1e9, rssMax = 0;
    std::vector<std::pair<double, double>> rssSamples; // (seconds, MB)
    QTimer sampler;
    sampler.setInterval(250);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        double mb = rssMb();
        double t = double(clock.elapsed()) / 1000.0;
        rssSamples.push_back({t, mb});
        if (t > 1.0) { // after warm-up
            rssMin = std::min(rssMin, mb);
            rssMax = std::max(rssMax, mb);
        }
    });
    sampler.start();

    qint64 stopMs = -1;
    uint64_t bytes = 0, delivered = 0;
    double replaySeconds = 0;
    QTimer::singleShot(seconds * 1000, [&] {
        bytes = console.link().bytesReceived();
        delivered = console.delivered();
        replaySeconds = double(clock.elapsed()) / 1000.0;
        QElapsedTimer stop;
        stop.start();
        main->StopMonitor1Click();
        stopMs = stop.elapsed();
        QTimer::singleShot(200, [] { QCoreApplication::quit(); });
    });
    app.exec();

    std::sort(gaps.begin(), gaps.end());
    const qint64 p99 = gaps.empty() ? 0 : gaps[gaps.size() * 99 / 100];
    std::printf("replay file              %zu MB (data/sample.vxr repeated), delay 0\n", megabytes);
    std::printf("replayed                 %.1f MB in %.1f s = %.1f MB/s, %llu packets "
                "delivered to the GUI thread (%.0f/s)\n",
                double(bytes) / 1048576.0, replaySeconds, double(bytes) / 1048576.0 / replaySeconds,
                (unsigned long long)delivered, double(delivered) / replaySeconds);
    std::printf("event loop latency       worst %lld ms, 99th percentile %lld ms (10 ms timer)\n",
                (long long)worstGap, (long long)p99);
    std::printf("Stop Monitor             %lld ms\n", (long long)stopMs);
    std::printf("resident memory          %.1f MB before; %.1f .. %.1f MB during the replay "
                "(after the first second)\n",
                rssBefore, rssMin, rssMax);
    std::remove(file.c_str());
    return 0;
}
