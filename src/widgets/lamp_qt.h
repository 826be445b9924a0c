// A small circular lamp: the status lamps of the main window, the TX/RX lamps and the LED
// panels of the query/set dialogs. It shows one colour; tests read it back with colour().
#pragma once

#include <QColor>
#include <QWidget>

namespace lamp {
// The colours the console uses for lamps and LED panels.
inline const QColor kWhite{255, 255, 255};
inline const QColor kGreen{0, 255, 0}; // "lime": received, succeeded, running
inline const QColor kRed{255, 0, 0};
inline const QColor kYellow{255, 255, 0};
inline const QColor kBlue{0, 0, 255};
} // namespace lamp

class Lamp : public QWidget {
    Q_OBJECT
public:
    // diameter in pixels (the dialogs' LEDs are 9 by 9).
    explicit Lamp(QWidget* parent = nullptr, int diameter = 12);

    QColor colour() const { return colour_; }
    // Repaints only when the colour changes.
    void setColour(const QColor& c);

    QSize sizeHint() const override { return {diameter_, diameter_}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;

private:
    QColor colour_ = lamp::kWhite;
    int diameter_;
};
