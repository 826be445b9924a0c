// A report viewer built from its ViewSpec (console/report_view.h): the panels, circles and edit
// boxes in their group boxes, the channel table, one Query button and LED per query group and
// the Close button, on the request cycle of QuerySetForm.
//
// A viewer is its spec, its Qt-free view functions (record -> ViewUpdates) and a short class:
//
//     class Tpkt32Form : public ReportViewForm {
//         Q_OBJECT
//     public:
//         explicit Tpkt32Form(Console& console, QWidget* parent = nullptr)
//             : ReportViewForm(console, vx::pkt32View(), parent) {
//             showReplies<vx::TimeConstellationRecord>(vx::showTimeConstellation);
//         }
//     };
//
// What the base does with the view spec:
//  - "Query" of a group (and showing the window, for the groups that query on showing): its
//    LED white, the keys of its answers pending, the response timer enabled (one for the
//    window), its frames sent back to back.
//  - A routed reply: its view function fills the widgets; the query group and key the view spec
//    gives its code and subcode are answered (the LED turns green once no key is pending; a
//    report that comes unasked turns it green too).
//  - A routed Query acknowledgement of a code and subcode the view spec names: refused, the LED
//    turns red and the key is over (the expiry leaves it alone); accepted, the key is over
//    when the group says so (ackEnds), else nothing happens.
//  - The response timer's expiry: every group still pending turns red; its keys end or stay
//    pending (expiryKeeps).
//
// Windows with more than this add their own buttons (addButton) and handlers (onDelivery for
// undecoded packets, beforeQuery to empty panels first, view functions that keep state).
#pragma once

#include "console/query_set_form.h"
#include "console/report_view.h"

#include <QColor>
#include <QElapsedTimer>

#include <functional>
#include <string>
#include <type_traits>
#include <vector>

class Panel;
class QGridLayout;
class QHBoxLayout;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class ReportViewForm : public QuerySetForm {
    Q_OBJECT
public:
    ReportViewForm(Console& console, const vx::ViewSpec& spec, QWidget* parent = nullptr);

    const vx::ViewSpec& spec() const { return spec_; }
    // Whether query group g still waits for an answer (of one key).
    bool queryPending(int g = 0) const;
    bool queryPending(int g, uint8_t key) const;

    // The widget of a slot: a Panel, a Lamp or a QLineEdit.
    QWidget* slotWidget(uint16_t slot) const;

    // The colour a tint paints.
    static QColor colourOf(vx::Tint t);

public slots:
    void queryButtonClick(int g = 0);
    void closeButtonClick();
    // Sets the texts and colours gathered since the last time (texts that changed only).
    void flush();

protected:
    enum class Outcome { NotMine, Shown, Ignored };

    void FormShow() override;
    // Called by queryButtonClick before the request of group g starts.
    virtual void beforeQuery(int g) { (void)g; }

    // Shows every routed reply that carries a Record with view(record, updates); the reply
    // answers the query group and key the view spec gives its code and subcode. A reply whose
    // payload is shorter than minPayload (a layout the decoder does not check) is ignored: it
    // shows nothing and answers nothing.
    // A view that needs the reply's subcode (one record for several subcodes) takes it:
    // view(record, subcode, updates).
    template <class Record, class F> void showReplies(F view, size_t minPayload = 0) {
        views_.push_back(
            [view = std::move(view), minPayload](const vx::Delivery& d, vx::ViewUpdates& u) {
                const Record* r = d.recordAs<Record>();
                if (!r) return Outcome::NotMine;
                if (d.payloadLength() < minPayload) return Outcome::Ignored;
                if constexpr (std::is_invocable_v<F&, const Record&, uint8_t, vx::ViewUpdates&>)
                    view(*r, d.h2, u);
                else
                    view(*r, u);
                return Outcome::Shown;
            });
    }
    // What the window's entry boxes and lists hold (the queries' arguments).
    vx::ViewInputs inputs() const;
    // Shows the updates at once (a button's work: Clear).
    void apply(const vx::ViewUpdates& u);
    // Gathers the updates of a routed packet; the widgets take them, once each, when the
    // console has run its deliveries (Console::deliveriesRun): at once when no more are
    // waiting, else at most every kFlushMs. A fast replay changes a panel many times between
    // two paints: only its last text is set.
    void stage(const vx::ViewUpdates& u);
    static constexpr int kFlushMs = 20;
    // The updates the base reuses from report to report (clear it first).
    vx::ViewUpdates& scratch() { return scratch_; }

    // A button in the window's button row, before Close.
    QPushButton* addButton(const char* objectName, const QString& caption);
    Request& request(int g) { return *groups_[size_t(g)].request; }

private:
    struct SlotWidgets {
        Panel* panel = nullptr;
        Lamp* lamp = nullptr;
        QLineEdit* edit = nullptr; // Edit and Entry
        QPlainTextEdit* memo = nullptr;
        QListWidget* list = nullptr;
    };
    // A slot's text and colour waiting for the next flush.
    struct Staged {
        std::string text;
        vx::Tint tint = vx::Tint::White;
        bool hasText = false;
        bool dirty = false;
    };
    struct Group {
        Request* request = nullptr;
        QPushButton* button = nullptr;
        Lamp* led = nullptr;
        Keys keys;
    };

    void build();
    QWidget* buildBox(const vx::ViewBox& box, int boxIndex);
    QWidget* buildTable(const vx::ViewTable& table);
    // The Query button and LED of group g, in a row.
    QHBoxLayout* queryWidgets(int g);
    QWidget* makeSlot(uint16_t slot, QWidget* parent);
    void takeReply(const vx::Delivery& d);
    void takeAck(const vx::AckRecord& a);
    // Empties the slots a query clears when it starts.
    void clearFor(const vx::ViewQuery& q);

    const vx::ViewSpec& spec_;
    std::vector<SlotWidgets> slots_;
    std::vector<Staged> staged_;
    std::vector<uint16_t> dirty_;
    std::vector<Group> groups_;
    std::vector<std::function<Outcome(const vx::Delivery&, vx::ViewUpdates&)>> views_;
    vx::ViewUpdates scratch_;
    QHBoxLayout* buttonRow_ = nullptr;
    int buttonInsert_ = 0; // where addButton puts the next button
    QPushButton* closeButton_ = nullptr;
    QElapsedTimer sinceFlush_;
};
