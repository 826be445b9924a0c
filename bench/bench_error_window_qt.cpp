// The error window under a corrupt replay: how fast refused frames become lines, whether the
// window stays responsive while hundreds of thousands of lines arrive (and while the store drops
// its oldest lines past its 32 MiB cap), whether appending slows down as the memo fills, what
// each line costs in memory, and whether that memory comes back at Clear (ten times over).
//
// A file of frames with bad checksums (6 to 60 bytes each) is replayed with delay 0 through the
// serial link, the receive worker and the console's hand-over into a shown TerrorForm
// (offscreen platform unless QT_QPA_PLATFORM says otherwise). A 10 ms timer measures the event
// loop's latency; the time of each memo append is recorded by memo size.
//
//   bench_error_window_qt [FRAMES]        (default 500000)
#include "app/error_form.h"
#include "console/console_qt.h"
#include "link/framing.h"
#include "link/link_settings.h"
#include "widgets/line_memo_qt.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
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

// frames frames of 6..60 bytes whose checksum is wrong; returns the file's path.
std::string makeCorruptFile(size_t frames, size_t* lineChars) {
    std::mt19937 rng(7);
    std::string path = "/tmp/ornivex_bench_errors_" + std::to_string(getpid()) + ".vxr";
    std::ofstream out(path, std::ios::binary);
    std::vector<uint8_t> buf(256);
    *lineChars = 0;
    for (size_t i = 0; i < frames; ++i) {
        size_t payload = 1 + rng() % 55;
        vx::PacketEncoder e(buf.data(), buf.size());
        e.startFrame(uint8_t(0x20 + rng() % 0x50), uint8_t(rng() % 0x20));
        for (size_t k = 0; k < payload; ++k) e.addByte(uint8_t(rng() % 0x78));
        e.finishFrame();
        size_t n = e.position();
        buf[n - 2] ^= 0x01; // spoil the checksum (never turns it into a reserved byte)
        out.write(reinterpret_cast<const char*>(buf.data()), std::streamsize(n));
        *lineChars += 20 + 3 * (payload + 5);
    }
    return path;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const size_t frames = argc > 1 ? size_t(std::atol(argv[1])) : 500000;
    QApplication app(argc, argv);

    size_t lineChars = 0;
    const std::string file = makeCorruptFile(frames, &lineChars);
    vx::ComSlots comMap;
    vx::SerialLink link(comMap);
    Console console(link);
    TerrorForm form(console);
    form.show();
    QApplication::processEvents();
    const double rssBefore = rssMb();

    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0, worstGap = 0;
    std::vector<qint64> gaps;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        gaps.push_back(now - lastTick);
        worstGap = std::max(worstGap, now - lastTick);
        lastTick = now;
    });
    ticker.start();

    vx::LinkSettings s;
    s.portIndex = vx::kReplayPortIndex;
    s.replay = true;
    s.fileName = file;
    // Replays the file into the window until every frame is a line; the time it took in ms.
    auto replayAll = [&]() -> qint64 {
        const qint64 startMs = clock.elapsed();
        if (console.startMonitor(s) != 0) {
            std::fprintf(stderr, "replay did not start: %s\n",
                         console.lastError().toStdString().c_str());
            std::exit(1);
        }
        qint64 doneMs = -1;
        QTimer watch;
        watch.setInterval(1);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (size_t(form.lineCount()) >= frames && doneMs < 0) {
                form.flush();
                doneMs = clock.elapsed() - startMs;
                QTimer::singleShot(0, [] { QCoreApplication::quit(); });
            }
        });
        watch.start();
        QTimer::singleShot(600000, [] { QCoreApplication::quit(); });
        app.exec();
        watch.stop();
        console.stopMonitor();
        return doneMs;
    };
    const qint64 doneMs = replayAll();
    const qsizetype received = qsizetype(form.lineCount());
    ticker.stop();

    // Painting with the memo full: at the bottom, then at the top.
    QElapsedTimer paint;
    paint.start();
    (void)form.grab();
    const qint64 paintBottomUs = paint.nsecsElapsed() / 1000;
    paint.restart();
    form.findChild<LineMemo*>("errWin")->verticalScrollBar()->setValue(0);
    (void)form.grab();
    const qint64 paintTopUs = paint.nsecsElapsed() / 1000;

    // One turn's worth of lines (the console drains 200 deliveries per turn) appended to the
    // full memo, and to an empty one for comparison.
    auto batchUs = [](TerrorForm& f) {
        const uint8_t bytes[] = {0x81, 0x30, 0x02, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                 0x12, 0x23, 0x34, 0x45, 0x56, 0x67, 0x10, 0x20, 0x01, 0x82};
        std::vector<double> us;
        for (int b = 0; b < 50; ++b) {
            QElapsedTimer t;
            t.start();
            for (size_t i = 0; i < Console::kDrainBatch; ++i) f.showError(bytes, 2, sizeof bytes);
            f.flush();
            us.push_back(double(t.nsecsElapsed()) / 1000.0);
        }
        std::sort(us.begin(), us.end());
        return us[us.size() / 2];
    };
    const size_t lines = form.linesHeld();
    const double rssFull = rssMb();
    const double storeMb = double(form.memoryBytes()) / (1024.0 * 1024.0);
    const double fullUs = batchUs(form);
    form.clearButtonClick();
    QApplication::processEvents();
    const double rssCleared = rssMb();
    const double emptyUs = batchUs(form);
    // Nine more replays, each cleared: resident memory after every Clear against the start.
    form.clearButtonClick();
    std::vector<double> afterClear{rssCleared};
    for (int round = 1; round < 10; ++round) {
        replayAll();
        form.clearButtonClick();
        QApplication::processEvents();
        afterClear.push_back(rssMb());
    }
    double worstAbove = 0;
    for (double m : afterClear) worstAbove = std::max(worstAbove, m - rssBefore);
    std::sort(gaps.begin(), gaps.end());
    const qint64 p99 = gaps.empty() ? 0 : gaps[gaps.size() * 99 / 100];
    std::printf("corrupt replay           %zu frames with bad checksums, 6..60 bytes each\n",
                frames);
    std::printf("lines                    %lld received in %.1f s (%.0f lines/s through link, "
                "worker, hand-over and memo); %zu held, %llu dropped (32 MiB of text)\n",
                (long long)received, double(doneMs) / 1000.0,
                double(received) / (double(doneMs) / 1000.0), lines,
                (unsigned long long)(uint64_t(received) - lines));
    std::printf("one turn's 200 lines     %.0f us appended to the full memo, %.0f us to an "
                "empty one (median of 50)\n",
                fullUs, emptyUs);
    std::printf("event loop latency       worst %lld ms, 99th percentile %lld ms (10 ms timer)\n",
                (long long)worstGap, (long long)p99);
    std::printf("window grab, full memo   %lld us at the bottom, %lld us after scrolling to "
                "the top\n",
                (long long)paintBottomUs, (long long)paintTopUs);
    std::printf("resident memory          %.1f MB before, %.1f MB full (the store %.1f MB): "
                "%.0f bytes per line held (%.0f characters per line); %.1f MB after Clear\n",
                rssBefore, rssFull, storeMb, (rssFull - rssBefore) * 1048576.0 / double(lines),
                double(lineChars) / double(frames), rssCleared);
    std::printf("after each of 10 Clears   ");
    for (double m : afterClear) std::printf("%.1f ", m);
    std::printf("MB; at worst %.1f MB above the start (%.1f MB; goal within 2)\n", worstAbove,
                rssBefore);
    std::remove(file.c_str());
    return size_t(received) >= frames ? 0 : 1;
}
