// The console's command line. Long options are ours; anything else (Qt's own -platform,
// -style, ...) is left in argv for the application object.
//
//   --com N=PATH   map COM slot N (1..32) to a device path (repeatable)
//   --demo         run the simulated receiver on a pseudo-terminal as COM1 and monitor it
//   --help, --version
//   -i             as the first argument (any first character, second character i or I): show
//                  the internal menu
// Hidden, for `make screenshot`: --screenshot PATH [--after SECONDS] and, repeatable,
// --screenshot-window OBJECTNAME=PATH (that window is opened at start and saved with the main
// window).
#pragma once

#include "link/com_slots.h"

#include <string>
#include <utility>
#include <vector>

namespace vx {

struct CommandLine {
    bool help = false;
    bool version = false;
    bool demo = false;
    bool internalMenu = false;
    std::string screenshotPath;
    double screenshotAfter = 6.0; // seconds of live data before the picture
    // Windows saved with the main window: (object name, picture path).
    std::vector<std::pair<std::string, std::string>> screenshotWindows;
    std::string error; // a usage error: shown with the usage, exit status 2
};

// The switch letter of the internal menu.
inline constexpr char kInternalMenuLetter = 'i';

// Takes our options out of argv (argc shrinks) and applies --com to slots. The internal menu
// is asked for by the first argument that remains, when its second character is the switch
// letter in either case.
CommandLine parseCommandLine(int& argc, char** argv, ComSlots& slots);

// The --help text.
std::string usageText();

} // namespace vx
