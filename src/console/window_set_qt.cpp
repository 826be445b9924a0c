#include "console/window_set_qt.h"

#include "console/console_qt.h"

#include <algorithm>

std::vector<vx::WindowId> windowsNotBuilt(std::span<const WindowSpec> built) {
    std::vector<vx::WindowId> out;
    for (const vx::WindowInfo& w : vx::kWindowInfo) {
        const bool isBuilt = std::any_of(built.begin(), built.end(),
                                         [&](const WindowSpec& s) { return s.id == w.id; });
        if (!isBuilt) out.push_back(w.id);
    }
    return out;
}

WindowSet::WindowSet(Console& console, vx::ComSlots& slotMap, WindowCatalogue catalogue,
                     Options options)
    : console_(console), slots_(slotMap), options_(options), menu_(catalogue.menu) {
    for (const WindowSpec& s : catalogue.windows) catalogue_.push_back(&s);
    std::stable_sort(catalogue_.begin(), catalogue_.end(),
                     [](const WindowSpec* a, const WindowSpec* b) {
                         const vx::WindowInfo &x = a->info(), &y = b->info();
                         if (x.lifetime != y.lifetime) return x.lifetime < y.lifetime;
                         return x.position < y.position;
                     });
}

WindowSet::~WindowSet() {
    // The last created first: later windows may refer to earlier ones, never the other way.
    while (!created_.empty()) created_.pop_back();
}

void WindowSet::createStartupWindows() {
    for (const WindowSpec* s : catalogue_) {
        if (s->info().lifetime == Lifetime::AtStartup && !find(s->id)) create(*s);
    }
    tellPeers();
}

void WindowSet::tellPeers() {
    for (QWidget* w : windows())
        if (auto* p = dynamic_cast<WindowPeers*>(w)) p->peersCreated(*this);
}

QWidget* WindowSet::create(const WindowSpec& s) {
    std::unique_ptr<QWidget> w = s.create(*this);
    nameWindow(w.get(), s.id);
    QWidget* raw = w.get();
    created_.push_back({&s, std::move(w)});
    return raw;
}

const WindowSpec* WindowSet::spec(vx::WindowId id) const {
    for (const WindowSpec* s : catalogue_)
        if (s->id == id) return s;
    return nullptr;
}

QWidget* WindowSet::find(vx::WindowId id) const {
    for (const Entry& e : created_)
        if (e.spec->id == id) return e.window.get();
    return nullptr;
}

QWidget* WindowSet::open(vx::WindowId id) {
    QWidget* w = find(id);
    if (!w) {
        const WindowSpec* s = spec(id);
        if (!s) return nullptr;
        w = create(*s);
        tellPeers();
    }
    if (w->isMinimized()) w->showNormal();
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

void WindowSet::destroyFirstUseWindows() {
    for (const WindowSpec* s : catalogue_) {
        if (s->info().lifetime != Lifetime::OnFirstUse) continue;
        auto it = std::find_if(created_.begin(), created_.end(),
                               [s](const Entry& e) { return e.spec == s; });
        if (it != created_.end()) created_.erase(it);
    }
}

std::vector<QWidget*> WindowSet::windows() const {
    std::vector<QWidget*> out;
    for (const Entry& e : created_) out.push_back(e.window.get());
    return out;
}
