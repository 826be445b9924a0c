// The console replaying a recording with delay 0, with every report viewer closed and then with
// all of them shown (the constellation, time and channel windows, the GPS fix window, the sky
// and heading plots, the health, start-up and diagnostic start-up windows and both DR data
// windows): how many packets a second reach the GUI thread, and the longest the event loop
// waits (the worst gap between two ticks of a 10 ms timer, what a user feels as a frozen
// window).
//
// The whole console runs as in the program (offscreen platform unless QT_QPA_PLATFORM says
// otherwise), the main window shown. The replay file is data/sample.vxr repeated to the given
// size (default 16 MB); each configuration replays it to its end, three times, alternating; the
// fastest run of each counts, and the worst gap of all its runs.
//
//   bench_viewers_replay_qt [MB]
#include "app/main_form.h"
#include "console/console_qt.h"
#include "program/window_catalogue_qt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string makeReplayFile(const std::string& dir, size_t megabytes) {
    std::ifstream in(SAMPLE_RECORDING, std::ios::binary);
    std::vector<char> sample((std::istreambuf_iterator<char>(in)), {});
    if (sample.empty()) {
        std::fprintf(stderr, "cannot read %s\n", SAMPLE_RECORDING);
        std::exit(1);
    }
    std::string path = dir + "/replay.vxr";
    std::ofstream out(path, std::ios::binary);
    size_t written = 0;
    while (written < megabytes * 1024 * 1024) {
        out.write(sample.data(), std::streamsize(sample.size()));
        written += sample.size();
    }
    return path;
}

struct Run {
    double seconds = 0;
    uint64_t packets = 0;
    qint64 worstGapMs = 0;
};

// Replays the file to its end while a 10 ms timer measures the event loop.
Run replay(Console& console, const std::string& file) {
    vx::LinkSettings s;
    s.replay = true;
    s.portIndex = vx::kReplayPortIndex;
    s.fileName = file;
    QElapsedTimer t;
    QTimer ticker;
    ticker.setInterval(10);
    qint64 last = 0, worst = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = t.elapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    const uint64_t before = console.delivered();
    t.start();
    if (console.startMonitor(s) != 0) {
        std::fprintf(stderr, "replay did not start: %s\n",
                     console.lastError().toStdString().c_str());
        std::exit(1);
    }
    ticker.start();
    while (!(console.link().idleAtEnd() && console.queue().empty())) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        if (console.queue().empty()) QThread::usleep(200);
    }
    Run r;
    r.seconds = double(t.nsecsElapsed()) / 1e9;
    ticker.stop();
    console.stopMonitor();
    r.packets = console.delivered() - before;
    r.worstGapMs = worst;
    return r;
}

// Lets the windows shown or hidden paint (and lay out, and load their glyphs) before the
// replay, so the replay measures the steady state.
void settle() {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

constexpr vx::WindowId kViewers[] = {
    vx::WindowId::Tpkt32Form,        vx::WindowId::Tpkt3202_3203Form,
    vx::WindowId::Tpkt33Form,        vx::WindowId::Tpkt31Form,
    vx::WindowId::TskyPlotForm,      vx::WindowId::TheadingPlotForm,
    vx::WindowId::Tpkt1601_1602Form, vx::WindowId::Tpkt7020Form,
    vx::WindowId::Tpkt3002Form,      vx::WindowId::TpktBufferedDr,
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const size_t megabytes = argc > 1 ? size_t(std::atoi(argv[1])) : 16;
    QApplication app(argc, argv);

    const std::string dir = "/tmp/ornivex_bench_viewers_" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    const std::string file = makeReplayFile(dir, megabytes);
    const double mb = double(std::filesystem::file_size(file)) / 1e6;

    vx::ComSlots comMap;
    vx::SerialLink link(comMap);
    Console console(link);
    WindowSet windows(console, comMap, windowCatalogue());
    windows.createStartupWindows();
    windows.find<TmainForm>(vx::WindowId::TmainForm)->show();

    Run closed{1e9, 0, 0}, open{1e9, 0, 0};
    auto keep = [](Run& best, const Run& r) {
        if (r.seconds < best.seconds) {
            best.seconds = r.seconds;
            best.packets = r.packets;
        }
        best.worstGapMs = std::max(best.worstGapMs, r.worstGapMs);
    };
    for (int round = 0; round < 3; ++round) {
        settle();
        keep(closed, replay(console, file));
        for (vx::WindowId id : kViewers) windows.open(id);
        settle();
        keep(open, replay(console, file));
        for (vx::WindowId id : kViewers) windows.find(id)->hide();
    }
    const double closedRate = double(closed.packets) / closed.seconds;
    const double openRate = double(open.packets) / open.seconds;
    std::printf("replay file              %.1f MB (data/sample.vxr repeated), delay 0, %llu "
                "packets\n",
                mb, (unsigned long long)closed.packets);
    std::printf("viewers closed           %.2f s = %.0f packets/s; event loop worst %lld ms\n",
                closed.seconds, closedRate, (long long)closed.worstGapMs);
    std::printf("every viewer shown       %.2f s = %.0f packets/s: %.2fx of closed; event loop "
                "worst %lld ms\n",
                open.seconds, openRate, openRate / closedRate, (long long)open.worstGapMs);
    std::filesystem::remove_all(dir);
    return 0;
}
