// The console's file choosers. Windows ask for file names through these functions, so that a
// test can give the name instead of a modal dialog (setChooser).
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace fileDialog {

// A save dialog: a new file can be named. With confirmOverwrite the dialog itself asks before
// an existing file is chosen; without it the caller asks its own question. Returns the chosen
// file's full path, or an empty string when the user cancelled.
QString saveFileName(QWidget* parent, const QString& caption, const QString& current,
                     bool confirmOverwrite);

// An open dialog: only an existing file can be chosen. Returns its full path, or an empty
// string when the user cancelled.
QString openFileName(QWidget* parent, const QString& caption, const QString& current);

// Tests: every dialog is answered by the chooser (the dialog's caption in, a path or an empty
// string out); nullptr restores the dialogs.
using Chooser = std::function<QString(const QString& caption)>;
void setChooser(Chooser chooser);

} // namespace fileDialog
