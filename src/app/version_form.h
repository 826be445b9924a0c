// "Version (1101-1103), Product Info (1202-1204)": asks the receiver for the versions of its
// three code images (1101 nav, 1102 boot, 1103 io), its software mode (1202), its production
// data (1203) and its hardware ID (1204), and shows the answers. One LED tells whether all six
// arrived: white while waiting, lime when every answer came, red when a Query was refused or
// the response timer ran out with answers missing (a late answer still fills its fields and
// can still turn the LED lime).
//
// A query-only member of the query/set dialogs: one request with six keys. Showing the window
// or "Query" sends the six queries from a timer, 50 ms apart: 1203, 1204, 1101, 1102, 1103,
// 1202. The 11xx replies are taken while the window is shown, the 12xx replies always.
#pragma once

#include "console/query_set_form.h"

class Panel;
class QGroupBox;
class QPushButton;

class TversionForm : public QuerySetForm {
    Q_OBJECT
public:
    explicit TversionForm(Console& console, QWidget* parent = nullptr);

    // The keys of the six answers.
    static constexpr uint8_t kNav = 0x01;      // 1101
    static constexpr uint8_t kBoot = 0x02;     // 1102
    static constexpr uint8_t kIo = 0x03;       // 1103
    static constexpr uint8_t kMode = 0x22;     // 1202
    static constexpr uint8_t kProduct = 0x23;  // 1203
    static constexpr uint8_t kHardware = 0x24; // 1204

    // Whether an answer is still awaited.
    bool pending(uint8_t key) const { return query_->pending(key); }

    // The six queries with their pauses, in order.
    static vx::PacedScript queryScript();

public slots:
    void queryButtonClick();
    void clearButtonClick();
    void closeButtonClick();

protected:
    void FormShow() override;

private:
    struct CodeGroup {
        Panel *major, *minor, *release, *date;
    };
    CodeGroup codeGroup(QGroupBox* box, const char* prefix);
    void showReply(const vx::Delivery& d);

    Request* query_;
    CodeGroup nav_, boot_, io_;
    Panel* modeWin_;
    Panel* prodIdWin_;
    Panel* prodNameWin_;
    Panel* snWin_;
    Panel* hardwareIdWin_;
    QPushButton* queryButton_;
    QPushButton* clearButton_;
    QPushButton* closeButton_;
    Lamp* queryLED_;
};
