// The console's windows as data: which windows exist, in which order start-up creates them,
// their object names and captions, which are created only when their menu item is first used,
// and the menu items that show them.
//
// Adding a window (one line each):
//  1. In window_catalogue_qt.cpp, kWindows: its start-up position, class, object name and
//     caption, and its factory, e.g.
//         {48, "TfrmIoReplay", "frmIoReplay", "Io Replay", AtStartup, make<TfrmIoReplay>},
//     make<T> builds T(WindowSet&) when T has that constructor, else T(ComSlots&) (the
//     slot map of the run), else T(). The list need not be
//     sorted: windows are created by position. Created on first use: OnFirstUse, and the
//     position gives the shut-down order among those windows.
//  2. Its menu item is already in kMenu (every item of the menu bar, in menu order, each naming
//     the object name of the window it shows); it appears as soon as the window is in kWindows.
//     A window without a menu item needs nothing more.
// The set applies the object name and caption to the window it creates. A window takes part in
// the routing by registering itself with the Console in its constructor.
//
// Every window is one instance for the whole run, owned by the WindowSet; closing a window
// only hides it. WindowSet::current() finds a window by object name (the global window
// pointers of the design: find("sioForm"), find<TsioForm>("sioForm")).
#pragma once

#include "link/com_slots.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

class WindowSet;

enum class Lifetime : uint8_t {
    AtStartup,  // created at start-up, in position order
    OnFirstUse, // created the first time its menu item is used
};

struct WindowSpec {
    int position;           // start-up position; for OnFirstUse: the order of destruction
    const char* className;  // "TsioForm"
    const char* objectName; // "sioForm"
    const char* caption;    // "COM Setup"
    Lifetime lifetime;
    std::unique_ptr<QWidget> (*create)(WindowSet&);
};

// Every window of the console, in no particular order.
std::span<const WindowSpec> windowCatalogue();

// One item of the menu bar that shows a window.
enum class MenuExtra : uint8_t {
    None,
    RaiseErrorFlag, // "&Error Window...": also sets the error flag (the running timer then
                    // keeps the error window shown)
};

struct MenuItemSpec {
    const char* menu;       // top-level menu caption: "&Config"
    const char* menuObject; // the top-level menu's object name, or nullptr
    const char* submenu;    // caption of a submenu ("&Plot"), or nullptr
    const char* caption;    // the item's caption, exactly
    const char* itemObject; // the item's object name, or nullptr
    const char* window;     // object name of the window it shows
    MenuExtra extra;
};

// The window items of the menu bar after "&File" and "&SysCmd", in menu order. Top-level
// menus appear in the order of their first item.
std::span<const MenuItemSpec> windowMenu();

// A window that works with other windows (connects to their signals) implements this: the set
// calls it once every start-up window exists, and again when a window is created on first use.
class WindowPeers {
public:
    virtual ~WindowPeers() = default;
    virtual void peersCreated(WindowSet& windows) = 0;
};

// What start-up passes to the windows.
struct WindowOptions {
    bool internalMenu = false; // the command line asked for the hidden internal menu
};

// The windows of one run.
class WindowSet {
public:
    using Options = WindowOptions;
    explicit WindowSet(Options options = {}, vx::ComSlots& slotMap = vx::comSlots(),
                       std::span<const WindowSpec> catalogue = windowCatalogue());
    // Destroys the windows still alive, the last created first.
    ~WindowSet();
    WindowSet(const WindowSet&) = delete;
    WindowSet& operator=(const WindowSet&) = delete;

    // The set of this process (the most recently created one), or nullptr.
    static WindowSet* current();

    // Creates every AtStartup window in position order. An exception from a window's
    // constructor propagates (start-up then reports it and ends).
    void createStartupWindows();

    // The window with this object name, or nullptr when it is not in the catalogue or not
    // created yet.
    QWidget* find(std::string_view objectName) const;
    template <class T> T* find(std::string_view objectName) const {
        return qobject_cast<T*>(find(objectName));
    }
    const WindowSpec* spec(std::string_view objectName) const;
    bool inCatalogue(std::string_view objectName) const { return spec(objectName) != nullptr; }

    // What a menu item does: creates the window when it is created on first use and does not
    // exist yet, then shows it, raised. nullptr when the window is not in the catalogue.
    QWidget* open(std::string_view objectName);

    // Shut-down: destroys the windows created on first use that exist, in their order.
    void destroyFirstUseWindows();

    // The windows alive, in creation order.
    std::vector<QWidget*> windows() const;

    const Options& options() const { return options_; }
    vx::ComSlots& slotMap() { return slots_; }

private:
    struct Entry {
        const WindowSpec* spec;
        std::unique_ptr<QWidget> window;
    };
    QWidget* create(const WindowSpec& spec);
    void tellPeers();

    Options options_;
    vx::ComSlots& slots_;
    std::vector<const WindowSpec*> catalogue_;
    std::vector<Entry> created_; // creation order
    WindowSet* previous_ = nullptr;
};

// The factory of a catalogue entry.
template <class T> std::unique_ptr<QWidget> make(WindowSet& set) {
    if constexpr (std::is_constructible_v<T, WindowSet&>) {
        return std::make_unique<T>(set);
    } else if constexpr (std::is_constructible_v<T, vx::ComSlots&>) {
        return std::make_unique<T>(set.slotMap());
    } else {
        (void)set;
        return std::make_unique<T>();
    }
}
