#include "widgets/message_box_qt.h"

#include <QMessageBox>

namespace msgbox {

namespace {
Handler& handler() {
    static Handler h;
    return h;
}
} // namespace

void show(QWidget* parent, const QString& text, const QString& caption) {
    if (handler()) {
        handler()(parent, text, caption);
        return;
    }
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

Handler setHandler(Handler h) {
    Handler previous = std::move(handler());
    handler() = std::move(h);
    return previous;
}

Recorder::Recorder() {
    previous_ = setHandler([this](QWidget*, const QString& text, const QString& caption) {
        boxes.push_back({text, caption});
    });
}

Recorder::~Recorder() {
    setHandler(std::move(previous_));
}

} // namespace msgbox
