#include "widgets/file_dialog_qt.h"

#include <QFileDialog>
#include <QFileInfo>

namespace fileDialog {

namespace {
Chooser& chooser() {
    static Chooser c;
    return c;
}
} // namespace

QString saveFileName(QWidget* parent, const QString& caption, const QString& current,
                     bool confirmOverwrite) {
    QString name;
    if (chooser()) {
        name = chooser()(caption);
    } else {
        QFileDialog::Options options;
        if (!confirmOverwrite) options |= QFileDialog::DontConfirmOverwrite;
        name = QFileDialog::getSaveFileName(parent, caption, current, QString(), nullptr, options);
    }
    return name.isEmpty() ? QString() : QFileInfo(name).absoluteFilePath();
}

QString openFileName(QWidget* parent, const QString& caption, const QString& current) {
    QString name =
        chooser() ? chooser()(caption) : QFileDialog::getOpenFileName(parent, caption, current);
    return name.isEmpty() ? QString() : QFileInfo(name).absoluteFilePath();
}

void setChooser(Chooser c) {
    chooser() = std::move(c);
}

} // namespace fileDialog
