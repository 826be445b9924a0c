#include "reports/raw_fix_form.h"

#include "widgets/lamp_qt.h"
#include "widgets/panel_qt.h"
#include "widgets/text_memo_qt.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Object name and caption of each raw fix panel, in the order of rawFixPanelTexts.
struct PanelName {
    const char* name;
    const char* caption;
};
constexpr PanelName kPanels[vx::kRawFixPanels] = {
    {"pnlAltitudeHold", "Altitude Hold Mode"},
    {"pnlWeekNumber", "Week Number"},
    {"pnlTimeOfWeek", "Time Of Week"},
    {"pnlPosApprox", "Pos Approx"},
    {"pnlHavePosition", "Have Position"},
    {"pnlPos1", "Position"},
    {"pnlPos2", nullptr},
    {"pnlPos3", nullptr},
    {"pnlClockBias", "Clock Bias"},
    {"pnlVel1", "Velocity"},
    {"pnlVel2", nullptr},
    {"pnlVel3", nullptr},
    {"pnlOscillatorBias", "Oscillator Bias"},
    {"pnlVert1", "Vertical"},
    {"pnlVert2", nullptr},
    {"pnlVert3", nullptr},
};

const QColor kFixColour(0, 128, 0);
const QColor kNoFixColour(128, 128, 128);

} // namespace

TGpsRawPositionForm::TGpsRawPositionForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent), routes_(console, vx::WindowId::TGpsRawPositionForm, this) {
    const QFontMetrics fm(font());
    const QSize panelSize(fm.horizontalAdvance(QString(16, '0')) + 10, fm.height() + 6);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* grid = new QGridLayout;
    int row = -1, col = 0;
    QString lastCaption;
    for (int i = 0; i < vx::kRawFixPanels; ++i) {
        auto* p = new Panel(this);
        p->setObjectName(kPanels[i].name);
        p->setFixedSize(panelSize);
        if (kPanels[i].caption) {
            lastCaption = kPanels[i].caption;
            ++row;
            col = 1;
            grid->addWidget(new QLabel(lastCaption, this), row, 0);
            p->setAccessibleName(
                lastCaption +
                (kPanels[i + 1 < vx::kRawFixPanels ? i + 1 : i].caption == nullptr ? " 1" : ""));
        } else {
            p->setAccessibleName(lastCaption + ' ' + QString::number(col));
        }
        grid->addWidget(p, row, col++);
        panels_[size_t(i)] = p;
    }
    top->addLayout(grid);
    auto* dopBox = new QGroupBox("DOP", this);
    auto* dopGrid = new QGridLayout(dopBox);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            auto* p = new Panel(dopBox);
            p->setObjectName(QString("pnlDop%1%2").arg(r + 1).arg(c + 1));
            p->setAccessibleName(QString("DOP %1 %2").arg(r + 1).arg(c + 1));
            p->setFixedSize(panelSize.width() / 2, panelSize.height());
            dopGrid->addWidget(p, r, c);
            dop_[size_t(4 * r + c)] = p;
        }
    auto* right = new QVBoxLayout;
    right->addWidget(dopBox);
    pnlFixOrNoFix_ = new Panel(this);
    pnlFixOrNoFix_->setObjectName("pnlFixOrNoFix");
    pnlFixOrNoFix_->setAccessibleName("Fix");
    pnlFixOrNoFix_->setFixedSize(panelSize);
    right->addWidget(pnlFixOrNoFix_);
    right->addStretch();
    top->addLayout(right);
    layout->addLayout(top);

    auto* memos = new QHBoxLayout;
    memo1_ = new TextMemo(this);
    memo1_->setObjectName("Memo1");
    memo1_->setAccessibleName("Fix variables");
    memo2_ = new TextMemo(this);
    memo2_->setObjectName("Memo2");
    memo2_->setAccessibleName("Debug text");
    memos->addWidget(memo1_);
    memos->addWidget(memo2_);
    layout->addLayout(memos, 1);

    auto* buttons = new QHBoxLayout;
    button1_ = new QPushButton("Button1", this);
    button1_->setObjectName("Button1");
    btnClear_ = new QPushButton("Clear", this);
    btnClear_->setObjectName("btnClear");
    buttons->addWidget(button1_);
    buttons->addWidget(btnClear_);
    buttons->addStretch();
    layout->addLayout(buttons);

    tmrFixColor_ = new QTimer(this);
    tmrFixColor_->setObjectName("tmrFixColor");
    tmrFixColor_->setInterval(100);
    tmrFixColor_->setSingleShot(true);
    connect(tmrFixColor_, &QTimer::timeout, this, &TGpsRawPositionForm::tmrFixColorTimer);
    connect(button1_, &QPushButton::clicked, this, &TGpsRawPositionForm::Button1Click);
    connect(btnClear_, &QPushButton::clicked, this, &TGpsRawPositionForm::btnClearClick);

    routes_.on(vx::HandlerRole::Reply,
               [this](const vx::Delivery& d, const vx::RouteStep& s) { take(d, s); });
    resize(900, 600);
}

void TGpsRawPositionForm::take(const vx::Delivery& d, const vx::RouteStep& s) {
    if (const auto* f = d.recordAs<vx::RawFixRecord>()) {
        const bool fix = s.arg != 0; // 7002: a fix; 7009: none
        pnlFixOrNoFix_->setTextIfChanged(fix ? "Fix" : "No Fix");
        pnlFixOrNoFix_->setColour(lamp::kWhite);
        fixColour_ = fix ? kFixColour : kNoFixColour;
        tmrFixColor_->start();
        const auto texts = vx::rawFixPanelTexts(*f);
        for (size_t i = 0; i < texts.size(); ++i) {
            panels_[i]->setTextIfChanged(QString::fromStdString(texts[i]));
            panels_[i]->setColour(lamp::kWhite);
        }
        memo1_->clear();
        memo1_->append(vx::rawFixVariableLines(*f));
    } else if (const auto* t = d.recordAs<vx::ChannelTableRecord>()) {
        memo1_->append(vx::channelTableLines(*t));
    } else if (const auto* c = d.recordAs<vx::ChannelDetailRecord>()) {
        memo1_->append(vx::channelDetailLines(*c));
    } else if (const auto* x = d.recordAs<vx::DebugTextRecord>()) {
        std::string line;
        if (vx::debugTextLine(*x, line)) memo2_->append(line);
    }
}

void TGpsRawPositionForm::tmrFixColorTimer() {
    tmrFixColor_->stop();
    pnlFixOrNoFix_->setColour(fixColour_);
}

void TGpsRawPositionForm::btnClearClick() {
    memo2_->clear();
}

void TGpsRawPositionForm::Button1Click() {
    memo1_->append(vx::rawFixTestLines());
}
