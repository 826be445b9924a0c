// "Version (1101-1103), Product Info (1202-1204)": asks the receiver for the versions of its
// three code images (1101 nav, 1102 boot, 1103 io), its software mode (1202), its production
// data (1203) and its hardware ID (1204), and shows the answers. One LED tells whether all six
// arrived: white while waiting, lime when every answer came, red when a Query was refused or
// the response timer ran out with answers missing (a late answer still fills its fields and
// can still turn the LED lime).
//
// A report viewer (its spec and view functions are in app/version_texts): one query of six
// keys. Showing the window or "Query" empties the panels and sends the six queries from a
// timer, 50 ms apart: 1203, 1204, 1101, 1102, 1103, 1202. The 11xx replies are taken while the
// window is shown, the 12xx replies always.
#pragma once

#include "app/version_texts.h"
#include "console/report_view_form.h"

class TversionForm : public ReportViewForm {
    Q_OBJECT
public:
    explicit TversionForm(Console& console, QWidget* parent = nullptr);

    // The keys of the six answers.
    static constexpr uint8_t kNav = vx::version::kNav;
    static constexpr uint8_t kBoot = vx::version::kBoot;
    static constexpr uint8_t kIo = vx::version::kIo;
    static constexpr uint8_t kMode = vx::version::kMode;
    static constexpr uint8_t kProduct = vx::version::kProduct;
    static constexpr uint8_t kHardware = vx::version::kHardware;

    // Whether an answer is still awaited.
    bool pending(uint8_t key) const { return queryPending(0, key); }

    // The six queries with their pauses, in order.
    static vx::PacedScript queryScript() { return vx::queryFrames(vx::versionSpec().queries[0]); }

public slots:
    void clearButtonClick();

protected:
    void beforeQuery(int) override { clearButtonClick(); }
};
