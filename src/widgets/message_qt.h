// The console's message boxes. Every window shows its input errors and notices through these
// functions, so that a test can take the message instead of a modal box (setInterceptor).
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace msg {

enum class Kind { Information, Warning, Error };

// A modal OK box; returns when the user closed it.
void show(QWidget* parent, Kind kind, const QString& title, const QString& text);
// The same box, opened without waiting: the caller goes on at once (a notice raised in the
// middle of an operation that must finish, such as a start of monitoring).
void notify(QWidget* parent, Kind kind, const QString& title, const QString& text);

// A modal Yes/No box; true when the user answered Yes.
bool ask(QWidget* parent, Kind kind, const QString& title, const QString& text);

// A modal OK/Cancel box (Cancel the default); true when the user chose OK. Tests answer it as
// they answer ask().
bool confirm(QWidget* parent, Kind kind, const QString& title, const QString& text);

// Tests: every message goes to the interceptor instead of a box (nullptr restores the boxes).
using Interceptor = std::function<void(Kind, const QString& title, const QString& text)>;
void setInterceptor(Interceptor interceptor);
// Tests: every question goes to the answerer, which answers it (nullptr restores the boxes).
// With an interceptor but no answerer, a question is passed to the interceptor and answered No.
using Answerer = std::function<bool(Kind, const QString& title, const QString& text)>;
void setAnswerer(Answerer answerer);

} // namespace msg
