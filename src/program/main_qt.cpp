// The console's entry point: the command line, the application object, the windows in their
// start-up order, the event loop.
#include "app/main_form.h"
#include "console/console_qt.h"
#include "program/command_line.h"
#include "program/console_application_qt.h"
#include "program/window_catalogue_qt.h"
#include "sim/sim_runner.h"
#include "widgets/panel_qt.h"

#include <QStatusBar>
#include <QTimer>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// --screenshot: once the main window has shown live data for the given time, save a picture
// of it (and of the windows --screenshot-window opened at start) and end the program.
void scheduleScreenshot(TmainForm* main, WindowSet& windows, const vx::CommandLine& cl) {
    std::vector<std::pair<QWidget*, std::string>> shots;
    for (const auto& [name, path] : cl.screenshotWindows) {
        if (const auto id = vx::windowByObjectName(name))
            if (QWidget* w = windows.open(*id)) shots.emplace_back(w, path);
    }
    auto* timer = new QTimer(main);
    auto started = std::make_shared<qint64>(0);
    timer->setInterval(250);
    QObject::connect(timer, &QTimer::timeout, main, [main, timer, cl, started, shots] {
        const auto* lat = main->findChild<Panel*>("latWin");
        const auto* time = main->findChild<Panel*>("timeWin");
        const bool live = lat && time && !lat->text().isEmpty() && !time->text().isEmpty();
        *started += 250;
        const double waited = double(*started) / 1000.0;
        if (waited < cl.screenshotAfter) return;
        if (!live && waited < cl.screenshotAfter + 60) return;
        timer->stop();
        bool saved = true;
        auto save = [&saved](QWidget* w, const std::string& path) {
            const bool ok = w->grab().save(QString::fromStdString(path));
            std::fprintf(stderr, "ornivex: %s %s\n", ok ? "saved" : "could not save", path.c_str());
            saved = saved && ok;
        };
        save(main, cl.screenshotPath);
        for (const auto& [w, path] : shots) save(w, path);
        QCoreApplication::exit(saved && live ? 0 : 1);
    });
    timer->start();
}

} // namespace

int main(int argc, char** argv) {
    // The COM slot map and the serial link of this run; every window is given the console
    // built on them.
    vx::ComSlots slotMap;
    vx::CommandLine cl = vx::parseCommandLine(argc, argv, slotMap);
    if (cl.help) {
        std::fputs(vx::usageText().c_str(), stdout);
        return 0;
    }
    if (cl.version) {
        std::puts("ornivex 2.40");
        return 0;
    }
    if (!cl.error.empty()) {
        std::fprintf(stderr, "ornivex: %s\n\n%s", cl.error.c_str(), vx::usageText().c_str());
        return 2;
    }

    ConsoleApplication app(argc, argv);
    ConsoleApplication::setIdentity();
    // The program ends when the main window closes, not when the last window does.
    QApplication::setQuitOnLastWindowClosed(false);

    vx::SerialLink link(slotMap);
    Console console(link);
    std::unique_ptr<WindowSet> windows;
    TmainForm* main = nullptr;
    try {
        WindowSet::Options options;
        options.internalMenu = cl.internalMenu;
        windows = std::make_unique<WindowSet>(console, slotMap, windowCatalogue(), options);
        windows->createStartupWindows();
        main = windows->find<TmainForm>(vx::WindowId::TmainForm);
        if (!main) throw std::runtime_error("the main window is missing from the catalogue");
    } catch (const std::exception& e) {
        ConsoleApplication::showException(QString::fromLocal8Bit(e.what()));
        return 1;
    } catch (...) {
        ConsoleApplication::showException(QString());
        return 1;
    }
    main->show();

    // --demo: a simulated receiver inside this process, on a pseudo-terminal mapped to COM1.
    std::unique_ptr<vx::sim::SimRunner> sim;
    if (cl.demo) {
        sim = std::make_unique<vx::sim::SimRunner>();
        std::string path;
        if (sim->startOnPty(&path)) {
            slotMap.setPath(0, path);
            main->switchSource(0);
            // The receiver was switched on before the console looked: its start-up is over
            // and its reports come at once.
            sim->advance(vx::sim::SimReceiver::restartMs());
            if (main->monitoring())
                main->statusBar()->showMessage(QString("Demo: a simulated receiver on %1 (COM1)")
                                                   .arg(QString::fromStdString(path)));
        } else {
            main->statusBar()->showMessage("Demo: the simulated receiver could not start: " +
                                           QString::fromStdString(sim->error()));
            sim.reset();
        }
    }

    if (!cl.screenshotPath.empty()) scheduleScreenshot(main, *windows, cl);

    int status = 0;
    try {
        status = app.exec();
    } catch (const std::exception& e) {
        ConsoleApplication::showException(QString::fromLocal8Bit(e.what()));
        status = 1;
    }
    // The link stops before any window is destroyed (the main window's close did it already
    // unless the loop ended otherwise).
    console.stopMonitor();
    if (sim) sim->stop();
    windows.reset();
    return status;
}
