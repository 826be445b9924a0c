// A settings dialog built from its table (a DialogSpec, console/settings_dialog.h; the tables are
// in config/dialog_tables.cpp): the labelled grid of controls in their group boxes or tab pages,
// the Query and Set buttons with their LEDs, the Query and Set scripts, the reply-to-control
// mapping by the routed subcode and the acknowledgement rules, all on the request cycle of
// QuerySetForm.
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
// A dialog with exceptions overrides showReply (what a reply does to its control) or
// readGroup (what a Set sends).
//
// Controls are found by their object names (the table's: "DR_CB", "elevWin", "Edit45").
#pragma once

#include "console/query_set_form.h"
#include "console/settings_dialog.h"

#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

class SettingsForm : public QuerySetForm {
    Q_OBJECT
public:
    SettingsForm(Console& console, const vx::DialogSpec& spec, QWidget* parent = nullptr);

    const vx::DialogSpec& spec() const { return spec_; }
    int groupCount() const { return int(groups_.size()); }
    // Subcodes of group g still waiting for their reply / their Set acknowledgement.
    bool queryPending(int g = 0) const;
    bool setPending(int g = 0) const;

public slots:
    // The buttons of group g.
    void queryButtonClick(int g = 0);
    void setButtonClick(int g = 0);
    void closeButtonClick();

protected:
    void FormShow() override;

    // A reply value for one field: fills its control.
    virtual void showReply(const vx::FieldSpec& f, double value);
    // The values a Set of group g sends, in subcode order; empty (after telling the user why)
    // when a control does not hold a value that can be sent.
    virtual std::vector<vx::SettingValue> readGroup(int g);

private:
    struct Control {
        const vx::FieldSpec* field;
        QComboBox* list = nullptr;
        QLineEdit* box = nullptr;
    };
    struct Group {
        Request* query = nullptr;
        Request* set = nullptr;
        QWidget* queryButton = nullptr;
        QWidget* setButton = nullptr;
    };

    void build();
    QWidget* buildSection(const vx::SectionSpec& s, QWidget* parent);
    void addGroupButtons(int g, QWidget* parent, class QGridLayout* grid, int row);
    Control* control(uint8_t subcode);
    void onReplyFor(uint8_t subcode, double value, bool nested);
    void onAck(const vx::AckRecord& a, bool set);

    const vx::DialogSpec& spec_;
    std::vector<Control> controls_;
    std::vector<Group> groups_;
    QTabWidget* tabs_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};
