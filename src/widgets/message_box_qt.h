// The windows' modal OK message boxes (input errors: "No DR Engine Rate selected." with the
// caption "Error"). A test replaces the box with a recorder so that nothing waits for a click.
#pragma once

#include <QString>

#include <functional>
#include <vector>

class QWidget;

namespace msgbox {

using Handler = std::function<void(QWidget* parent, const QString& text, const QString& caption)>;

// Shows a modal message box with an OK button and returns when it is closed (or, under a test
// handler, at once).
void show(QWidget* parent, const QString& text, const QString& caption);

// Replaces the message box; an empty handler brings the real box back. Returns the previous
// handler so a test can restore it.
Handler setHandler(Handler handler);

// For tests: records every box shown while it lives, and restores the previous handler.
class Recorder {
public:
    Recorder();
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    struct Box {
        QString text;
        QString caption;
    };
    std::vector<Box> boxes;

private:
    Handler previous_;
};

} // namespace msgbox
