#include "reports/heading_plot_form.h"

#include "link/records.h"
#include "reports/plot_geometry.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

// The compass rose (white, circles and lines like the sky plot's, labels "00", "90", "180",
// "270") and the needle: 5 pixels wide on a rose 209 pixels wide, green, from the centre to the
// heading's point on the rose.
class HeadingPlotCanvas : public QWidget {
public:
    explicit HeadingPlotCanvas(TheadingPlotForm* form) : QWidget(form), form_(form) {
        setObjectName("PaintBox1");
        setMinimumSize(120, 120);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    QSize sizeHint() const override { return {265, 241}; }

    QPointF centre() const { return QPointF(width() / 2.0, height() / 2.0); }
    double radius() const {
        const QFontMetricsF fm(font());
        const double labelX = fm.horizontalAdvance("270") + 4;
        const double labelY = fm.height() + 2;
        return std::max(8.0, std::min(width() / 2.0 - labelX, height() / 2.0 - labelY) - 2);
    }
    QPointF tip(double h) const {
        const vx::PlotPoint t = vx::headingTip(h);
        const QPointF c = centre();
        return {c.x() + t.x * radius(), c.y() + t.y * radius()};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setClipRect(rect());
        p.fillRect(rect(), palette().color(QPalette::Midlight));
        const QPointF c = centre();
        const double r = radius();
        p.setPen(QPen(QColor(0, 0, 0), 1));
        p.setBrush(QColor(255, 255, 255));
        p.drawEllipse(c, r, r);
        p.setBrush(Qt::NoBrush);
        for (double ring : {2.0 / 3.0, 1.0 / 3.0}) p.drawEllipse(c, r * ring, r * ring);
        p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
        p.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
        const QFontMetricsF fm(font());
        const double h = fm.height();
        p.drawText(QRectF(c.x() - 30, c.y() - r - h - 1, 60, h), Qt::AlignCenter, "00");
        p.drawText(QRectF(c.x() - 30, c.y() + r + 1, 60, h), Qt::AlignCenter, "180");
        p.drawText(QRectF(c.x() + r + 2, c.y() - h / 2, 40, h), Qt::AlignLeft | Qt::AlignVCenter,
                   "90");
        p.drawText(QRectF(c.x() - r - 42, c.y() - h / 2, 40, h), Qt::AlignRight | Qt::AlignVCenter,
                   "270");
        if (const auto heading = form_->heading_) {
            p.setPen(QPen(QColor(0, 255, 0), std::max(2.0, r * 5.0 / 104.5), Qt::SolidLine,
                          Qt::RoundCap));
            p.drawLine(c, tip(*heading));
        }
    }

private:
    TheadingPlotForm* form_;
};

TheadingPlotForm::TheadingPlotForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent), routes_(console, vx::WindowId::TheadingPlotForm, this) {
    canvas_ = new HeadingPlotCanvas(this);
    closeButton_ = new QPushButton("Close", this);
    closeButton_->setObjectName("closeButton");
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(canvas_, 1);
    layout->addLayout(row);
    connect(closeButton_, &QPushButton::clicked, this, &TheadingPlotForm::closeButtonClick);
    routes_.onRecord<vx::DrDataRecord>(vx::HandlerRole::Reply,
                                       [this](const vx::DrDataRecord& r, const vx::Routed&) {
                                           plotHeading(double(r.heading) / 32768.0);
                                       });
    resize(281, 290);
}

TheadingPlotForm::~TheadingPlotForm() = default;

void TheadingPlotForm::plotHeading(double h) {
    if (heading_ && *heading_ == h) return;
    heading_ = h;
    canvas_->update();
}

QWidget* TheadingPlotForm::plot() const {
    return canvas_;
}

QPointF TheadingPlotForm::centre() const {
    return canvas_->centre();
}

double TheadingPlotForm::radius() const {
    return canvas_->radius();
}

QPointF TheadingPlotForm::needleTip() const {
    return canvas_->tip(heading_.value_or(0.0));
}

void TheadingPlotForm::closeButtonClick() {
    close();
}
