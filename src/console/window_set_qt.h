// The windows of one run: the catalogue of built windows (id and factory), the menu items that
// show them, and the set that creates, finds and destroys them. Class names, object names,
// captions, start-up positions and lifetimes come from the window list (link/window_ids.h);
// everything here keys on vx::WindowId. The program fills the catalogue and the menu
// (program/window_catalogue_qt) and hands them to the set; nothing here knows a window class.
//
// The set applies the object name and caption to the window it creates; the window takes part
// in the routing through a RouteBinding on the console it is given.
//
// Every window is one instance for the whole run, owned by the WindowSet; closing a window
// only hides it. Windows find each other through the set, by WindowId.
#pragma once

#include "link/com_slots.h"
#include "link/window_ids.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

class Console;
class WindowSet;

using vx::Lifetime;

// A window that is built: its identity and its factory.
struct WindowSpec {
    vx::WindowId id;
    std::unique_ptr<QWidget> (*create)(WindowSet&);
    const vx::WindowInfo& info() const { return vx::windowInfo(id); }
};

// One item of the menu bar that shows a window.
enum class MenuExtra : uint8_t {
    None,
    RaiseErrorFlag, // "&Error Window...": also sets the error flag (the running timer then
                    // keeps the error window shown)
    // The items of one window opened for one of its purposes (MenuPurpose): the configuration
    // profile window's save, verify and apply.
    ProfileSave,
    ProfileVerify,
    ProfileApply,
};

// A window that several menu items open, each for a purpose of its own: told, once shown, which
// item opened it.
class MenuPurpose {
public:
    virtual ~MenuPurpose() = default;
    virtual void openedFor(MenuExtra item) = 0;
};

struct MenuItemSpec {
    const char* menu;       // top-level menu caption: "&Config"
    const char* menuObject; // the top-level menu's object name, or nullptr
    const char* submenu;    // caption of a submenu ("&Plot"), or nullptr
    const char* caption;    // the item's caption, exactly
    const char* itemObject; // the item's object name, or nullptr
    vx::WindowId window;    // the window it shows
    MenuExtra extra;
};

// What the program gives the set: every window that is built (in no particular order) and the
// window items of the menu bar after "&File" and "&SysCmd", in menu order (top-level menus
// appear in the order of their first item).
struct WindowCatalogue {
    std::span<const WindowSpec> windows;
    std::span<const MenuItemSpec> menu;
};

// The windows of the list that are not in the catalogue (their menu items stay hidden), in
// list order. Derived: the window list and the catalogue are the only places a window's
// existence is written.
std::vector<vx::WindowId> windowsNotBuilt(std::span<const WindowSpec> built);

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
    WindowSet(Console& console, vx::ComSlots& slotMap, WindowCatalogue catalogue,
              Options options = {});
    // Destroys the windows still alive, the last created first.
    ~WindowSet();
    WindowSet(const WindowSet&) = delete;
    WindowSet& operator=(const WindowSet&) = delete;

    // Creates every AtStartup window in position order. An exception from a window's
    // constructor propagates (start-up then reports it and ends).
    void createStartupWindows();

    // The window, or nullptr when it is not in the catalogue or not created yet.
    QWidget* find(vx::WindowId id) const;
    template <class T> T* find(vx::WindowId id) const { return qobject_cast<T*>(find(id)); }
    const WindowSpec* spec(vx::WindowId id) const;
    bool inCatalogue(vx::WindowId id) const { return spec(id) != nullptr; }

    // What a menu item does: creates the window when it is created on first use and does not
    // exist yet, then shows it, raised. nullptr when the window is not in the catalogue.
    QWidget* open(vx::WindowId id);

    // Shut-down: destroys the windows created on first use that exist, in their order.
    void destroyFirstUseWindows();

    // The windows alive, in creation order.
    std::vector<QWidget*> windows() const;

    // The menu items the main window builds its window menus from.
    std::span<const MenuItemSpec> menu() const { return menu_; }

    Console& console() const { return console_; }
    const Options& options() const { return options_; }
    vx::ComSlots& slotMap() const { return slots_; }

private:
    struct Entry {
        const WindowSpec* spec;
        std::unique_ptr<QWidget> window;
    };
    QWidget* create(const WindowSpec& spec);
    void tellPeers();

    Console& console_;
    vx::ComSlots& slots_;
    Options options_;
    std::vector<const WindowSpec*> catalogue_;
    std::span<const MenuItemSpec> menu_;
    std::vector<Entry> created_; // creation order
};

// The factory of a catalogue entry.
template <class T> std::unique_ptr<QWidget> make(WindowSet& set) {
    if constexpr (std::is_constructible_v<T, WindowSet&>) {
        return std::make_unique<T>(set);
    } else if constexpr (std::is_constructible_v<T, Console&, vx::ComSlots&>) {
        return std::make_unique<T>(set.console(), set.slotMap());
    } else {
        return std::make_unique<T>(set.console());
    }
}
