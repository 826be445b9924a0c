#include "app/version_form.h"

#include <QGroupBox>
#include <QPushButton>

TversionForm::TversionForm(Console& console, QWidget* parent)
    : ReportViewForm(console, vx::versionSpec(), parent) {
    showReplies<vx::VersionRecord>(vx::showCodeVersion);
    showReplies<vx::OperatingModeRecord>(vx::showSoftwareMode);
    showReplies<vx::ProductRecord>(vx::showProduct);
    showReplies<vx::TextRecord>(vx::showHardwareId);
    connect(addButton("clearButton", "Clear"), &QPushButton::clicked, this,
            &TversionForm::clearButtonClick);
    // Shown greyed: the receiver's production data is for reading only.
    if (auto* product = findChild<QGroupBox*>("productBox")) product->setEnabled(false);
}

void TversionForm::clearButtonClick() {
    scratch().clear();
    vx::clearVersions(scratch());
    apply(scratch());
}
