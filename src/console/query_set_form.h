// The request cycle of the query/set dialogs, written once.
//
// A dialog reads a group of receiver settings with a VEXOR Query and writes them with a Set.
// Every request has a small LED: white while it is outstanding, green when every packet it
// covers has been answered, red when the receiver refused it or nothing came in time.
//
// - A Request covers one or more keys (normally the subcodes it sends; key 0 for a request of
//   one packet). Starting it paints its LED white and marks its keys pending; answer(key)
//   clears one key and paints the LED green once none is left.
// - One one-shot response timer serves the whole window (1000 ms, or what Options says). A
//   request enables it; a second request while it runs does not restart it. When it fires,
//   every request still pending turns red, and its keys are cleared or kept as the request
//   was told (kept: a late answer can still complete it and turn it green).
// - Replies and acknowledgements arrive through the console's routing, on the GUI thread, one
//   packet at a time, and only while the window is visible: register them with onReply,
//   onQueryAck and onSetAck.
// - Frames go out through send() (one frame now) or sendScript() (several frames with pauses,
//   sent from a timer so the window never freezes). Frames are never reordered: while a script
//   is still pacing, later sends wait behind it. The button that started a script is disabled
//   until the script's last frame and its pause are over.
// - Showing the window calls FormShow(); a member that queries on showing overrides it.
//
// The settings dialogs (one value per subcode: 2101, 0x24, 0x25, 0x27, ...) are tables on top of
// this base: see config/settings_form.h and Tpkt2101Form (config/pkt2101_form.h), whose whole
// code is its table in config/dialog_tables.cpp. Windows that are not tables of settings
// (version and product information, report viewers) use the requests directly: addRequest for
// each LED, beginRequest(request, keys, superseded) on a button, answer(key) on each reply,
// sendScript for several frames with pauses.
#pragma once

#include "widgets/console_dialog_qt.h"

#include "console/console_qt.h"
#include "link/handover.h"
#include "link/paced_script.h"
#include "link/records.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <bitset>
#include <deque>
#include <functional>
#include <initializer_list>

class Lamp;

// The keys (subcodes) a request covers.
class Keys {
public:
    Keys() = default;
    Keys(std::initializer_list<uint8_t> keys) {
        for (uint8_t k : keys) bits_.set(k);
    }
    // One key: a request of one packet uses key 0.
    static Keys one(uint8_t key = 0) { return Keys{key}; }
    // first..last inclusive.
    static Keys range(uint8_t first, uint8_t last) {
        Keys k;
        for (unsigned i = first; i <= last; ++i) k.bits_.set(i);
        return k;
    }
    Keys& add(uint8_t key) {
        bits_.set(key);
        return *this;
    }
    const std::bitset<256>& bits() const { return bits_; }

private:
    std::bitset<256> bits_;
};

// One request of a dialog: its LED and its pending keys.
class Request {
public:
    // What the response timer does with keys still pending when it fires (the LED turns red
    // either way).
    enum Expiry {
        ClearOnExpiry, // the request is over; a late answer only repaints the LED if the
                       // dialog's handler does so itself
        KeepOnExpiry,  // the keys stay pending: a late answer can still complete the request
    };

    Request(Lamp* led, Expiry expiry) : led_(led), expiry_(expiry) {}

    Lamp* led() const { return led_; }

    // LED white; exactly these keys pending.
    void start(const Keys& keys = Keys::one());
    // Clears one key; when none is left the LED turns green. True when the request is now
    // complete (no key pending), also when the key was not pending.
    bool answer(uint8_t key = 0);
    // The receiver refused it: LED red, the keys untouched.
    void reject();
    // The receiver refused the packet of one key: LED red and that key cleared. The request
    // stays failed: answers to its other keys clear them without turning the LED green, until
    // none is pending or the request starts again.
    void refuse(uint8_t key);
    // Clears one key without touching the LED (an acknowledgement ended it; the reply, if any,
    // paints the LED).
    void settle(uint8_t key) {
        keys_.reset(key);
        if (!keys_.any()) refused_ = false;
    }
    // Ends it at once: no key pending, LED green (ok) or red.
    void finish(bool ok);
    // Ends it without touching the LED (another request superseded it, or an acknowledgement
    // closed it and the reply paints the LED).
    void cancel() {
        keys_.reset();
        refused_ = false;
    }

    bool pending() const { return keys_.any(); }
    bool pending(uint8_t key) const { return keys_.test(key); }
    size_t pendingCount() const { return keys_.count(); }

    // The response timer fired: if any key is pending, LED red, and the keys cleared or kept.
    // True when the request was pending.
    bool expire();

private:
    void paint(const QColor& c);

    Lamp* led_;
    Expiry expiry_;
    std::bitset<256> keys_;
    bool refused_ = false;
};

class QuerySetForm : public ConsoleDialog {
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 1000;
    static constexpr int kLedSize = 9;

    // Registers the window with the console under id (replies and acknowledgements are routed
    // to it while it is visible). The window is a fixed-size dialog with only the system menu,
    // wide enough for its whole caption, centred on the screen the first time it is shown;
    // closing it (or Escape) only hides it.
    QuerySetForm(Console& console, vx::WindowId id, QWidget* parent = nullptr,
                 int timeoutMs = kDefaultTimeoutMs);
    ~QuerySetForm() override;

    vx::WindowId windowId() const { return routes_.id(); }
    Console& console() const { return routes_.console(); }
    QTimer* responseTimer() const { return responseTimer_; }
    // The one-shot timer of a paced script's pause (running while a pause lasts).
    QTimer* scriptTimer() const { return scriptTimer_; }
    // Frames still waiting behind a paced script.
    bool sending() const;

public slots:
    // Expiry of the response timer: every request still pending turns red.
    virtual void responseTimerTimer();
    // Expiry of the script timer: the pause is over, the frames behind it go out up to the
    // next pause.
    void scriptTimerTimer();

protected:
    // Called each time the window is shown (not when it comes back from being minimised).
    virtual void FormShow() {}

    // A request with its LED. The reference stays valid for the window's lifetime.
    Request& addRequest(Lamp* led, Request::Expiry expiry = Request::ClearOnExpiry);

    // Starts a request: the LEDs of the superseded requests turn white and their keys are
    // cleared; r's LED turns white and its keys become pending; the response timer is enabled
    // (a running one keeps its count).
    void beginRequest(Request& r, const Keys& keys = Keys::one(),
                      std::initializer_list<Request*> superseded = {});
    // Enables the response timer unless it is running already.
    void armTimer();

    // Sends one frame through the console's link (sender: any catalogue function bound to its
    // values). Returns the sender's result, or 0 when the frame waits behind a paced script.
    int send(const std::function<int(vx::FrameSink&)>& sender);
    // Sends a script's frames in order with their pauses, from a timer. starter (the button
    // that started it, or nullptr) is disabled until the script's last frame has gone out and
    // its pause is over.
    void sendScript(vx::PacedScript script, QWidget* starter = nullptr);

    // Routed handlers, run on the GUI thread while the window is visible.
    template <class Record, class F> void onReply(F handler) {
        routes_.onRecord<Record>(vx::HandlerRole::Reply, std::move(handler));
    }
    void onQueryAck(std::function<void(const vx::AckRecord&)> handler);
    void onSetAck(std::function<void(const vx::AckRecord&)> handler);
    void onDelivery(vx::HandlerRole role, vx::DeliveryHandler handler);

    void showEvent(QShowEvent* event) override;
    void fixSizeOnFirstShow() override;

private:
    void pumpScripts();

    RouteBinding routes_;
    QTimer* responseTimer_;
    QTimer* scriptTimer_;
    std::deque<Request> requests_;
    struct Running {
        vx::ScriptCursor cursor;
        QPointer<QWidget> starter;
    };
    void release(QWidget* starter);

    std::deque<Running> scripts_;
    QPointer<QWidget> pausing_; // the starter of the script whose last pause is running
};
