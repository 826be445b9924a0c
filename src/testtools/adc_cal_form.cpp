#include "testtools/adc_cal_form.h"

#include "widgets/text_memo_qt.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TAdcCalParamsForm::TAdcCalParamsForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent), routes_(console, vx::WindowId::TAdcCalParamsForm, this) {
    auto* layout = new QVBoxLayout(this);
    auto* memos = new QHBoxLayout;
    memo1_ = new TextMemo(this);
    memo1_->setObjectName("Memo1");
    memo1_->setAccessibleName("Samples");
    memo2_ = new TextMemo(this);
    memo2_->setObjectName("Memo2");
    memo2_->setAccessibleName("Averages");
    memo3_ = new TextMemo(this);
    memo3_->setObjectName("Memo3");
    memo3_->setAccessibleName("Calibration levels");
    memos->addWidget(memo1_, 1);
    memos->addWidget(memo2_, 1);
    layout->addLayout(memos, 2);
    layout->addWidget(memo3_, 1);
    auto* row = new QHBoxLayout;
    btnClear_ = new QPushButton("Clear", this);
    btnClear_->setObjectName("btnClear");
    btnClear2_ = new QPushButton("Clear2", this);
    btnClear2_->setObjectName("btnClear2");
    cbFloats_ = new QCheckBox("cbFloats", this);
    cbFloats_->setObjectName("cbFloats");
    cbFloats_->setChecked(true);
    cbToggle_ = new QCheckBox("cbToggle", this);
    cbToggle_->setObjectName("cbToggle");
    row->addWidget(btnClear_);
    row->addWidget(btnClear2_);
    row->addWidget(cbFloats_);
    row->addWidget(cbToggle_);
    row->addStretch();
    layout->addLayout(row);
    connect(btnClear_, &QPushButton::clicked, this, &TAdcCalParamsForm::btnClearClick);
    connect(btnClear2_, &QPushButton::clicked, this, &TAdcCalParamsForm::btnClear2Click);
    routes_.on(vx::HandlerRole::Reply,
               [this](const vx::Delivery& d, const vx::RouteStep&) { take(d); });
    resize(700, 500);
}

void TAdcCalParamsForm::take(const vx::Delivery& d) {
    if (const auto* c = d.recordAs<vx::AdcCalibrationRecord>()) {
        memo3_->append(vx::adcCalibrationLines(*c));
    } else if (const auto* s = d.recordAs<vx::AdcSamplesRecord>()) {
        vx::AdcSampleSeries::Lines lines = series_.take(*s);
        if (lines.newSeries && cbToggle_->isChecked()) cbFloats_->toggle();
        if (!lines.samples.empty()) memo1_->append(lines.samples);
        if (!lines.summary.empty()) memo2_->append(lines.summary);
    }
}

void TAdcCalParamsForm::btnClearClick() {
    memo1_->clear();
}

void TAdcCalParamsForm::btnClear2Click() {
    memo2_->clear();
}
