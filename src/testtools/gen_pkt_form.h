// "Send Generic Packet": composes any command that has no dialog of its own (a Set, Query or
// System command from code, subcode, optional index and hexadecimal data, or a raw VEXOR or
// monitor frame typed byte by byte), sends it once per click and shows what answers it: the
// reply's bytes in the Response box, the acknowledgement on the LED, or "Timed out" one second
// after the last send.
//
// Input, frames and matching are in generic_packet.h (shared with `vexor send`); the window
// turns them into controls, LED colours and Response lines. The frame is written through an
// AsyncWriter, so a slow or stuck port never holds the window; a frame the link refuses turns
// the LED red with "Not sent: ...".
#pragma once

#include "console/query_set_form.h"
#include "link/async_writer.h"
#include "testtools/generic_packet.h"

class Lamp;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TgenPktForm : public QuerySetForm {
    Q_OBJECT
public:
    explicit TgenPktForm(Console& console, QWidget* parent = nullptr);

    // The data box holds at most this many characters.
    static constexpr int kMaxDataChars = 5000;

    bool awaitingReply() const { return awaiting_; }
    // Waits until the last frame has been written (tests).
    bool waitWritten(int ms) { return writer_.waitIdle(std::chrono::milliseconds(ms)); }
    const vx::GenericCommand& command() const { return cmd_; }

public slots:
    void commandCBChange(int index);
    void sendButtonClick();
    void closeButtonClick();
    // One second after the last send: "Timed out" unless an answer came.
    void responseTimerTimer() override;
    // Looks whether the frame handed to the writer went out.
    void writeCheckTimer();

private:
    void packetReceived(const vx::Delivery& d);
    void ackReceived(const vx::Delivery& d);
    void endWait(const QColor& led);
    void appendResponse(const QString& line);
    void setDataEditable(bool editable);

    QComboBox* commandCB_;
    QLabel* pCodeLabel_;
    QLineEdit* pCodeEdit_;
    QLabel* pSubcodeLabel_;
    QLineEdit* pSubcodeEdit_;
    QLabel* indexLabel_;
    QLineEdit* indexEdit_;
    QLabel* indexHint_;
    QCheckBox* seriesCheckBox_;
    QLabel* seriesLabel_;
    QPlainTextEdit* dataMemo_;
    QPlainTextEdit* responseMemo_;
    Lamp* sendLED_;
    QPushButton* sendButton_;
    QPushButton* closeButton_;

    QTimer* writeCheck_;
    vx::GenericCommand cmd_;
    bool awaiting_ = false;
    vx::AsyncWriter writer_;
    uint64_t failedSeen_ = 0;
};
