#include "reports/sky_plot_form.h"

#include "console/report_view_form.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The dot is 20 pixels wide on a horizon circle 209 pixels wide.
constexpr double kDotRadius = 10.0 / 104.5;
// Room around the horizon circle for a dot on it.
constexpr double kReach = 1.0 + kDotRadius + 0.01;

QColor tintColour(vx::Tint t) {
    return ReportViewForm::colourOf(t);
}

} // namespace

// The plot: a panel of the light 3-D colour with the horizon circle, the rings at 30 and 60
// degrees, the zenith circle, the north-south and east-west lines, the azimuth labels and the
// twelve dots.
class SkyPlotCanvas : public QWidget {
public:
    explicit SkyPlotCanvas(TskyPlotForm* form) : QWidget(form), form_(form) {
        setObjectName("Panel1");
        setMinimumSize(120, 120);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    QSize sizeHint() const override { return {249, 241}; }

    // The horizon circle's centre and radius for the canvas's size.
    QPointF centre() const { return QPointF(width() / 2.0, height() / 2.0); }
    double radius() const {
        const QFontMetricsF fm(font());
        const double labelX = fm.horizontalAdvance("270") + 4;
        const double labelY = fm.height() + 2;
        const double room = std::min(width() / 2.0 - labelX, height() / 2.0 - labelY);
        return std::max(8.0, room / kReach);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setClipRect(rect());
        p.fillRect(rect(), palette().color(QPalette::Midlight));
        const QPointF c = centre();
        const double r = radius();
        const QPen outline(QColor(0, 0, 0), 1);

        p.setPen(outline);
        p.setBrush(QColor(255, 255, 255));
        p.drawEllipse(c, r, r);
        p.setBrush(Qt::NoBrush);
        for (double ring : {2.0 / 3.0, 1.0 / 3.0}) p.drawEllipse(c, r * ring, r * ring);
        p.drawEllipse(c, r * 8.5 / 104.5, r * 8.5 / 104.5);
        p.drawLine(QPointF(c.x(), c.y() - r), QPointF(c.x(), c.y() + r));
        p.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));

        const QFontMetricsF fm(font());
        auto label = [&](const QString& t, QPointF at, Qt::Alignment align) {
            const QSizeF s(fm.horizontalAdvance(t) + 2, fm.height());
            QPointF topLeft = at;
            if (align & Qt::AlignHCenter) topLeft.rx() -= s.width() / 2;
            if (align & Qt::AlignRight) topLeft.rx() -= s.width();
            if (align & Qt::AlignVCenter) topLeft.ry() -= s.height() / 2;
            if (align & Qt::AlignBottom) topLeft.ry() -= s.height();
            p.drawText(QRectF(topLeft, s), Qt::AlignCenter, t);
        };
        label("00", QPointF(c.x(), c.y() - r - 1), Qt::AlignHCenter | Qt::AlignBottom);
        label("180", QPointF(c.x(), c.y() + r + 1), Qt::AlignHCenter | Qt::AlignTop);
        label("90", QPointF(c.x() + r + 2, c.y()), Qt::AlignLeft | Qt::AlignVCenter);
        label("270", QPointF(c.x() - r - 2, c.y()), Qt::AlignRight | Qt::AlignVCenter);
        label("30", QPointF(c.x() + 2, c.y() - r * 2.0 / 3.0), Qt::AlignLeft | Qt::AlignTop);
        label("60", QPointF(c.x() + 2, c.y() - r / 3.0), Qt::AlignLeft | Qt::AlignTop);

        if (form_->trailShown()) paintTrails(p, c, r);
        paintDots(p, c, r);
    }

private:
    void paintTrails(QPainter& p, QPointF c, double r) {
        QColor trail(40, 90, 200);
        for (uint8_t ch = 0; ch < 12; ++ch) {
            const auto& t = form_->trails_.trail(ch);
            if (t.size() < 2) continue;
            const size_t n = t.size();
            for (size_t i = 1; i < n; ++i) {
                // Older positions fade out.
                trail.setAlphaF(0.15 + 0.65 * double(i) / double(n - 1));
                p.setPen(QPen(trail, std::max(1.5, r * 0.02), Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(c.x() + t[i - 1].x * r, c.y() + t[i - 1].y * r),
                           QPointF(c.x() + t[i].x * r, c.y() + t[i].y * r));
            }
        }
    }

    void paintDots(QPainter& p, QPointF c, double r) {
        const double dr = r * kDotRadius;
        QFont bold = font();
        bold.setBold(true);
        bold.setPixelSize(std::max(6, int(dr * 1.1)));
        p.setFont(bold);
        const bool bySnr = form_->snrColours();
        for (const vx::SkyDot& d : form_->dots_) {
            if (!d.shown) continue;
            const QPointF at(c.x() + d.x * r, c.y() + d.y * r);
            const QColor fill = tintColour(bySnr ? vx::snrTint(d.snr) : d.tint);
            p.setPen(QPen(QColor(0, 0, 0), 1));
            p.setBrush(fill);
            p.drawEllipse(at, dr, dr);
            // The SV number inside its dot, on the dot's colour.
            p.setPen(QColor(0, 0, 0));
            p.drawText(QRectF(at.x() - dr, at.y() - dr, 2 * dr, 2 * dr), Qt::AlignCenter,
                       QString::number(d.sv));
        }
        p.setBrush(Qt::NoBrush);
    }

    TskyPlotForm* form_;
};

TskyPlotForm::TskyPlotForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent), routes_(console, vx::WindowId::TskyPlotForm, this) {
    canvas_ = new SkyPlotCanvas(this);
    trailCheck_ = new QCheckBox("Trail", this);
    trailCheck_->setObjectName("trailCheck");
    snrCheck_ = new QCheckBox("SNR colours", this);
    snrCheck_->setObjectName("snrColourCheck");
    closeButton_ = new QPushButton("Close", this);
    closeButton_->setObjectName("closeButton");
    auto* row = new QHBoxLayout;
    row->addWidget(trailCheck_);
    row->addWidget(snrCheck_);
    row->addStretch();
    row->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(canvas_, 1);
    layout->addLayout(row);
    connect(closeButton_, &QPushButton::clicked, this, &TskyPlotForm::closeButtonClick);
    auto repaint = [this] { canvas_->update(); };
    connect(trailCheck_, &QCheckBox::toggled, this, repaint);
    connect(snrCheck_, &QCheckBox::toggled, this, repaint);
    resize(266, 277);
}

TskyPlotForm::~TskyPlotForm() = default;

void TskyPlotForm::plotChannel(const vx::ChannelStatusRecord& r) {
    const std::optional<vx::SkyDot> d = vx::skyDot(r);
    if (!d) return;
    vx::SkyDot& old = dots_[r.channel];
    trails_.note(r.channel, *d);
    const bool changed = old.shown != d->shown || old.x != d->x || old.y != d->y ||
                         old.tint != d->tint || old.sv != d->sv || old.snr != d->snr;
    old = *d;
    if (changed) canvas_->update();
}

bool TskyPlotForm::trailShown() const {
    return trailCheck_->isChecked();
}

bool TskyPlotForm::snrColours() const {
    return snrCheck_->isChecked();
}

QWidget* TskyPlotForm::plot() const {
    return canvas_;
}

QPointF TskyPlotForm::toPlot(double x, double y) const {
    const QPointF c = canvas_->centre();
    const double r = canvas_->radius();
    return {c.x() + x * r, c.y() + y * r};
}

double TskyPlotForm::horizonRadius() const {
    return canvas_->radius();
}

void TskyPlotForm::closeButtonClick() {
    close();
}
