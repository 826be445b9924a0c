// The console replaying a recording with delay 0, with the three data logs off and then on
// (5 Hz text, 1 Hz text of all four packets, every byte), and the raw data view shown: how much
// the logs and the view cost the replay.
//
// The whole console runs as in the program (offscreen platform unless QT_QPA_PLATFORM says
// otherwise), the main window shown. The replay file is data/sample.vxr repeated to the given
// size (default 16 MB); each configuration replays it to its end, twice, alternating, and the
// faster run of each counts. The log files go to a temporary folder and are removed.
//
//   bench_logging_replay_qt [MB]
#include "app/log_form.h"
#include "app/main_form.h"
#include "app/raw_data_form.h"
#include "console/console_qt.h"
#include "program/window_catalogue_qt.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

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

template <class T> T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(name);
    if (!c) {
        std::fprintf(stderr, "no %s\n", name);
        std::exit(1);
    }
    return c;
}

// Replays the file to its end; returns the seconds it took.
double replay(Console& console, const std::string& file) {
    vx::LinkSettings s;
    s.replay = true;
    s.portIndex = vx::kReplayPortIndex;
    s.fileName = file;
    QElapsedTimer t;
    t.start();
    if (console.startMonitor(s) != 0) {
        std::fprintf(stderr, "replay did not start: %s\n",
                     console.lastError().toStdString().c_str());
        std::exit(1);
    }
    while (!(console.link().idleAtEnd() && console.queue().empty())) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        if (console.queue().empty()) QThread::usleep(200);
    }
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    console.stopMonitor();
    return seconds;
}

void setLogs(TlogForm* log, const std::string& dir, bool on) {
    if (!on) {
        for (const char* b : {"tenStopButton", "oneStopButton", "binStopButton"})
            child<QPushButton>(log, b)->click();
        return;
    }
    for (const char* c : {"CheckBox30", "CheckBox31", "CheckBox32", "CheckBox33", "CheckBox36"})
        child<QCheckBox>(log, c)->setChecked(true);
    const std::pair<const char*, const char*> groups[] = {{"logFile10HzWin", "tenStartButton"},
                                                          {"logFile1HzWin", "oneStartButton"},
                                                          {"LogFileBinWin", "binStartButton"}};
    for (auto [edit, start] : groups) {
        const std::string file = dir + "/" + edit;
        std::filesystem::remove(file);
        child<QLineEdit>(log, edit)->setText(QString::fromStdString(file));
        child<QPushButton>(log, start)->click();
        if (child<QPushButton>(log, start)->isEnabled()) {
            std::fprintf(stderr, "%s did not start\n", start);
            std::exit(1);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const size_t megabytes = argc > 1 ? size_t(std::atoi(argv[1])) : 16;
    QApplication app(argc, argv);

    const std::string dir = "/tmp/ornivex_bench_logging_" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    const std::string file = makeReplayFile(dir, megabytes);
    const double mb = double(std::filesystem::file_size(file)) / 1e6;

    vx::ComSlots comMap;
    vx::SerialLink link(comMap);
    Console console(link);
    WindowSet windows(console, comMap, windowCatalogue());
    windows.createStartupWindows();
    windows.find<TmainForm>(vx::WindowId::TmainForm)->show();
    auto* log = windows.find<TlogForm>(vx::WindowId::TlogForm);
    auto* raw = windows.find<TrawDataForm>(vx::WindowId::TrawDataForm);

    double off = 1e9, on = 1e9, onWithView = 1e9;
    for (int round = 0; round < 2; ++round) {
        off = std::min(off, replay(console, file));
        setLogs(log, dir, true);
        on = std::min(on, replay(console, file));
        raw->show();
        onWithView = std::min(onWithView, replay(console, file));
        raw->hide();
        setLogs(log, dir, false);
    }
    const double logged = double(std::filesystem::file_size(dir + "/logFile10HzWin")) / 1e6;
    std::printf("replay file                 %.1f MB (data/sample.vxr repeated), delay 0\n", mb);
    std::printf("logs off                    %.2f s = %.2f MB/s\n", off, mb / off);
    std::printf("three logs on               %.2f s = %.2f MB/s: %.2fx of logs off (5 Hz "
                "CSV %.1f MB)\n",
                on, mb / on, off / on, logged);
    std::printf("three logs and raw view     %.2f s = %.2f MB/s: %.2fx of logs off\n", onWithView,
                mb / onWithView, off / onWithView);
    std::filesystem::remove_all(dir);
    return 0;
}
