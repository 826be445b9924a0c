#include "app/version_form.h"

#include "app/version_texts.h"
#include "link/catalogue.h"
#include "widgets/lamp_qt.h"
#include "widgets/panel_qt.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

Panel* panel(QWidget* parent, const QString& name, int width) {
    auto* p = new Panel(parent);
    p->setObjectName(name);
    p->setMinimumWidth(width);
    return p;
}

} // namespace

TversionForm::TversionForm(Console& console, QWidget* parent)
    : QuerySetForm(console, vx::WindowId::TversionForm, parent) {
    auto* codes = new QHBoxLayout;
    auto* navBox = new QGroupBox("Nav Code ROM", this);
    auto* bootBox = new QGroupBox("Boot Code ROM", this);
    auto* ioBox = new QGroupBox("Io Code ROM", this);
    nav_ = codeGroup(navBox, "nav");
    boot_ = codeGroup(bootBox, "boot");
    io_ = codeGroup(ioBox, "io");
    codes->addWidget(navBox);
    codes->addWidget(bootBox);
    codes->addWidget(ioBox);

    auto labelled = [](QGridLayout* grid, int row, const char* label, Panel* p) {
        grid->addWidget(new QLabel(label), row, 0);
        grid->addWidget(p, row, 1);
        p->setAccessibleName(label);
    };
    auto* modeBox = new QGroupBox("Software Mode", this);
    auto* modeGrid = new QGridLayout(modeBox);
    modeWin_ = panel(modeBox, "modeWin", 90);
    labelled(modeGrid, 0, "Mode", modeWin_);

    auto* productBox = new QGroupBox("Product Information", this);
    auto* productGrid = new QGridLayout(productBox);
    prodIdWin_ = panel(productBox, "prodIdWin", 160);
    prodNameWin_ = panel(productBox, "prodNameWin", 160);
    snWin_ = panel(productBox, "snWin", 160);
    labelled(productGrid, 0, "Production Date", prodIdWin_);
    labelled(productGrid, 1, "Production Name", prodNameWin_);
    labelled(productGrid, 2, "Production S/N", snWin_);
    // Shown greyed: the receiver's production data is for reading only.
    productBox->setEnabled(false);

    auto* hardwareBox = new QGroupBox("Hardware ID", this);
    auto* hardwareGrid = new QGridLayout(hardwareBox);
    hardwareIdWin_ = panel(hardwareBox, "hardwareIdWin", 160);
    labelled(hardwareGrid, 0, "Hardware ID", hardwareIdWin_);

    queryButton_ = new QPushButton("Query", this);
    queryButton_->setObjectName("queryButton");
    queryLED_ = new Lamp(this, kLedSize);
    queryLED_->setObjectName("queryLED");
    clearButton_ = new QPushButton("Clear", this);
    clearButton_->setObjectName("clearButton");
    closeButton_ = new QPushButton("Close", this);
    closeButton_->setObjectName("closeButton");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(queryButton_);
    buttons->addWidget(queryLED_);
    buttons->addStretch();
    buttons->addWidget(clearButton_);
    buttons->addWidget(closeButton_);
    auto* middle = new QHBoxLayout;
    middle->addWidget(modeBox);
    middle->addWidget(hardwareBox);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(codes);
    layout->addLayout(middle);
    layout->addWidget(productBox);
    layout->addLayout(buttons);

    connect(queryButton_, &QPushButton::clicked, this, &TversionForm::queryButtonClick);
    connect(clearButton_, &QPushButton::clicked, this, &TversionForm::clearButtonClick);
    connect(closeButton_, &QPushButton::clicked, this, &TversionForm::closeButtonClick);

    // A late answer still counts: the keys stay pending when the timer runs out.
    query_ = &addRequest(queryLED_, Request::KeepOnExpiry);
    onDelivery(vx::HandlerRole::Reply,
               [this](const vx::Delivery& d, const vx::RouteStep&) { showReply(d); });
    onQueryAck([this](const vx::AckRecord& a) {
        if (a.result != 0) query_->reject();
    });
}

TversionForm::CodeGroup TversionForm::codeGroup(QGroupBox* box, const char* prefix) {
    auto* grid = new QGridLayout(box);
    CodeGroup g;
    const QString p = QString::fromLatin1(prefix);
    g.major = panel(box, p + "MajorWin", 36);
    g.minor = panel(box, p + "MinorWin", 36);
    g.release = panel(box, p + "ReleaseWin", 36);
    g.date = panel(box, p + "DateWin", 90);
    int row = 0;
    for (auto [label, w] : {std::pair{"Major", g.major}, std::pair{"Minor", g.minor},
                            std::pair{"Release", g.release}, std::pair{"Date", g.date}}) {
        grid->addWidget(new QLabel(label, box), row, 0);
        grid->addWidget(w, row, 1);
        w->setAccessibleName(label);
        ++row;
    }
    return g;
}

vx::PacedScript TversionForm::queryScript() {
    auto query = [](uint8_t code, uint8_t sub) {
        return vx::CommandFrame(vx::kCmdQuery, code, sub).toBytes();
    };
    vx::PacedScript s;
    s.push_back({query(0x12, 0x03), vx::kVersionPauseMs});
    s.push_back({query(0x12, 0x04), vx::kVersionPauseMs});
    for (vx::ScriptStep& step : vx::queryVersionScript()) s.push_back(std::move(step));
    s.back().pauseAfterMs = vx::kVersionPauseMs;
    s.push_back({query(0x12, 0x02), 0});
    return s;
}

void TversionForm::FormShow() {
    queryButtonClick();
}

void TversionForm::queryButtonClick() {
    clearButtonClick();
    beginRequest(*query_, Keys{kNav, kBoot, kIo, kMode, kProduct, kHardware});
    // From a timer, 50 ms apart: the window never waits.
    sendScript(queryScript(), queryButton_);
}

void TversionForm::showReply(const vx::Delivery& d) {
    if (const auto* v = d.recordAs<vx::VersionRecord>()) {
        // 11xx: the subcode says which code image; others are not versions this window shows.
        CodeGroup* g = d.h2 == 0x01 ? &nav_ : d.h2 == 0x02 ? &boot_ : d.h2 == 0x03 ? &io_ : nullptr;
        if (d.h1 != 0x11 || !g) return;
        const vx::CodeVersionTexts t = vx::codeVersionTexts(*v);
        g->major->setText(latin1(t.major));
        g->minor->setText(latin1(t.minor));
        g->release->setText(latin1(t.release));
        g->date->setText(latin1(t.date));
        query_->answer(d.h2);
    } else if (const auto* m = d.recordAs<vx::OperatingModeRecord>()) {
        modeWin_->setText(latin1(vx::softwareModeText(m->mode)));
        query_->answer(kMode);
    } else if (const auto* p = d.recordAs<vx::ProductRecord>()) {
        const vx::ProductTexts t = vx::productTexts(*p);
        prodIdWin_->setText(latin1(t.date));
        prodNameWin_->setText(latin1(t.name));
        snWin_->setText(latin1(t.serial));
        query_->answer(kProduct);
    } else if (const auto* h = d.recordAs<vx::TextRecord>()) {
        hardwareIdWin_->setText(latin1(vx::hardwareIdText(*h)));
        query_->answer(kHardware);
    }
}

void TversionForm::clearButtonClick() {
    for (const CodeGroup* g : {&nav_, &boot_, &io_})
        for (Panel* p : {g->major, g->minor, g->release, g->date}) p->clear();
    for (Panel* p : {prodIdWin_, prodNameWin_, snWin_, hardwareIdWin_, modeWin_}) p->clear();
}

void TversionForm::closeButtonClick() {
    close();
}
