// A lowered bevel panel that shows one line of text on a background colour: the status panels
// of the main window, the source panels and the satellite rows. Tests read the colour back.
//
// To assistive technology a panel is read-only text: its caption (the label beside it, set
// with setAccessibleName) is its name, so an empty panel is still announced by what it is, and
// the text it shows is readable over the accessibility bus (the text interface) and in the
// process as its value.
#pragma once

#include <QColor>
#include <QLabel>

class Panel : public QLabel {
    Q_OBJECT
public:
    explicit Panel(QWidget* parent = nullptr, const QString& text = {});

    QColor colour() const { return colour_; }
    // Repaints only when the colour changes.
    void setColour(const QColor& c);
    // Sets the text only when it differs (a fast replay sets the same texts over and over).
    void setTextIfChanged(const QString& text) {
        if (text != this->text()) setText(text);
    }

    // The desktop's button-face colour: unused source panels and empty satellite rows.
    static QColor faceColour();

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    QColor colour_;
};
