// A settings dialog built from its table (a DialogSpec, console/settings_dialog.h; the tables are
// in config/dialog_tables.cpp): the labelled grid of controls in their group boxes or tab pages,
// the Query and Set buttons with their LEDs, the Query and Set frames, the reply-to-control
// mapping and the acknowledgement rules, all on the request cycle of QuerySetForm.
//
// A dialog is its table plus a class that names it, e.g. the DR engine rate window:
//
//     class Tpkt2101Form : public SettingsForm {
//         Q_OBJECT
//     public:
//         explicit Tpkt2101Form(Console& console, QWidget* parent = nullptr)
//             : SettingsForm(console, vx::engineRateDialog(), parent) {}
//     };
//
// A dialog with exceptions overrides the hooks: takesReply (a reply it leaves alone, e.g. while
// paused), replied (what a reply does besides filling the controls, e.g. a log line) and
// completePacket (what a Set sends besides the controls' values), and adds its own widgets to
// the boxes (sectionGrid) or the bottom row (buttonRow).
//
// Controls are found by their object names (the table's: "DR_CB", "elevWin", "Edit45").
#pragma once

#include "console/query_set_form.h"
#include "console/settings_dialog.h"

#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QVBoxLayout;

class SettingsForm : public QuerySetForm {
    Q_OBJECT
public:
    SettingsForm(Console& console, const vx::DialogSpec& spec, QWidget* parent = nullptr);

    const vx::DialogSpec& spec() const { return spec_; }
    int groupCount() const { return int(groups_.size()); }
    // Subcodes or entries of group g still waiting for their reply / their Set acknowledgement.
    bool queryPending(int g = 0) const;
    bool setPending(int g = 0) const;
    // True while any Query of the window waits for an answer.
    bool anyQueryPending() const;

public slots:
    // The buttons of group g.
    void queryButtonClick(int g = 0);
    void setButtonClick(int g = 0);
    // Every group's Query, in order.
    void queryAllButtonClick();
    void closeButtonClick();

protected:
    void FormShow() override;

    // A reply matched to a group, before its controls show it: false leaves it alone.
    virtual bool takesReply(const vx::ReplyMatch& m);
    // After the controls of the matched group show a reply (values in its layout's order).
    virtual void replied(const vx::ReplyMatch& m, const vx::FieldValues& values);
    // Every Set packet's values before its frame is built: change them, or refuse (false; the
    // override says why).
    virtual bool completePacket(int group, const vx::PacketLayout& l, int key,
                                vx::FieldValues& values);

    // What a control holds now.
    vx::ControlInput inputOf(const vx::FieldSpec& f) const;
    // The grid of a section's fields, to add a widget of the window's own among them; the
    // section's column, to add one below its group's buttons; the row of a group's buttons
    // (in its box), to add one beside them.
    QGridLayout* sectionGrid(int section) const;
    QVBoxLayout* sectionColumn(int section) const;
    QHBoxLayout* groupButtonRow(int g) const;
    // The bottom row with the Close button (right-aligned) and Query All.
    QHBoxLayout* buttonRow() const { return buttonRow_; }
    // The Set-enable rule of group g: its Set button is disabled while a list that says so
    // shows its item.
    void applySetRule(int g);

private:
    struct Control {
        const vx::FieldSpec* field;
        int group = -1;
        QComboBox* list = nullptr;
        QLineEdit* box = nullptr;
        QButtonGroup* radios = nullptr;
        QCheckBox* check = nullptr;
    };
    struct Group {
        Request* query = nullptr;
        Request* set = nullptr;
        QPushButton* queryButton = nullptr;
        QPushButton* setButton = nullptr;
        QHBoxLayout* buttonRow = nullptr;
    };

    void build();
    QWidget* buildSection(size_t index, QWidget* parent);
    void addFieldControl(const vx::FieldSpec& f, QWidget* box, QGridLayout* grid, int row, int col);
    void addCheckAll(const vx::SectionSpec& s, QWidget* box, QVBoxLayout* column);
    void addGroupButtons(int g, QWidget* parent, QGridLayout* grid, int row);
    QWidget* addGroupButtonRow(int g, QWidget* parent);
    bool groupHasSetRule(int g) const;
    Control* control(const vx::FieldSpec& f);
    const Control* control(const vx::FieldSpec& f) const;
    void showOutput(Control& c, const vx::ControlOutput& out);
    void refuse(const vx::RequestBuild& b);
    void onReply(const vx::Delivery& d, const vx::RouteStep& s);
    void onAck(const vx::AckRecord& a, bool set);
    vx::InputOf inputs() const;

    const vx::DialogSpec& spec_;
    std::vector<Control> controls_;
    std::vector<Group> groups_;
    std::vector<QGridLayout*> sectionGrids_;
    std::vector<QVBoxLayout*> sectionColumns_;
    QTabWidget* tabs_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QPushButton* queryAllButton_ = nullptr;
    QHBoxLayout* buttonRow_ = nullptr;
};
