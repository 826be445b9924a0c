#include "link/io_replay_form.h"

#include "app/console_qt.h"
#include "link/io_capture.h"
#include "widgets/lamp_qt.h"
#include "widgets/message_qt.h"

#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <cerrno>
#include <cstring>

namespace {

const char* const kOpenFailed =
    "FAILED TO OPEN FILE!\n *** Please resolve the issue and restart the program. ***";

std::tm localNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

} // namespace

TfrmIoReplay::TfrmIoReplay(Console& console, QWidget* parent)
    : QWidget(parent), routes_(console, vx::WindowId::TfrmIoReplay, this) {
    now = localNow;

    auto* grid = new QGridLayout(this);
    Label1 = new QLabel("Io Replay File:", this);
    lblIoReplayFilename = new QLabel(this);
    lblIoReplayFilename->setObjectName("lblIoReplayFilename");
    lblIoReplayFilename->setMinimumWidth(300);
    lblIoReplayFilename->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label2 = new QLabel("IO->NAV:", this);
    lblIoToNav = new QLabel("0", this);
    lblIoToNav->setObjectName("lblIoToNav");
    Label3 = new QLabel("NAV->IO:", this);
    lblNavToIo = new QLabel("0", this);
    lblNavToIo->setObjectName("lblNavToIo");
    ledUnit = new QLineEdit("H01", this);
    ledUnit->setObjectName("ledUnit");
    ledUnit->setMaximumWidth(80);
    shpActivity = new Lamp(this, 14);
    shpActivity->setObjectName("shpActivity");

    grid->addWidget(Label1, 0, 0);
    grid->addWidget(lblIoReplayFilename, 0, 1, 1, 3);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(lblIoToNav, 1, 1);
    grid->addWidget(Label3, 2, 0);
    grid->addWidget(lblNavToIo, 2, 1);
    auto* unitRow = new QHBoxLayout;
    unitRow->addWidget(new QLabel("Unit", this));
    unitRow->addWidget(ledUnit);
    unitRow->addStretch();
    unitRow->addWidget(shpActivity);
    grid->addLayout(unitRow, 3, 0, 1, 4);
    grid->setColumnStretch(3, 1);

    tmrActivity = new QTimer(this);
    tmrActivity->setObjectName("tmrActivity");
    tmrActivity->setInterval(200);
    connect(tmrActivity, &QTimer::timeout, this, &TfrmIoReplay::tmrActivityTimer);
    tmrActivity->start();
    connect(ledUnit, &QLineEdit::editingFinished, this, &TfrmIoReplay::ledUnitEdited);

    routes_.onRecord<vx::IoTrafficRecord>(
        vx::HandlerRole::Reply,
        [this](const vx::IoTrafficRecord& r, const vx::Routed&) { ioTraffic(r); });
    resetCapture();
}

TfrmIoReplay::~TfrmIoReplay() {
    // The unit box may report a last focus change while the widgets are torn down.
    ledUnit->disconnect(this);
    if (file_) std::fclose(file_);
}

void TfrmIoReplay::ledUnitEdited() {
    const QString unit = ledUnit->text();
    if (vx::ioCaptureUnitIsSafe(unit.toStdString())) {
        lastGoodUnit_ = unit;
        return;
    }
    // A unit text becomes part of the file name: one that names another folder is refused.
    ledUnit->setText(lastGoodUnit_);
    msg::notify(this, msg::Kind::Error, "Error",
                QString("The unit \"%1\" cannot be part of a file name: use letters and digits "
                        "without '/', '\\' or \"..\".")
                    .arg(unit));
}

void TfrmIoReplay::armCapture(int portIndex) {
    const QString unit = ledUnit->text();
    if (!vx::ioCaptureUnitIsSafe(unit.toStdString())) {
        enabled_ = false;
        lblIoReplayFilename->clear();
        msg::notify(this, msg::Kind::Error, "Error",
                    QString("The unit \"%1\" cannot be part of a file name: nothing is captured. "
                            "Use letters and digits without '/', '\\' or \"..\".")
                        .arg(unit));
        return;
    }
    enabled_ = true;
    ledUnit->setEnabled(false);
    lblIoReplayFilename->setText(
        QString::fromStdString(vx::ioCaptureFileName(unit.toStdString(), now(), portIndex)));
}

void TfrmIoReplay::resetCapture() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    ledUnit->setEnabled(true);
    enabled_ = false;
    ioToNav_ = 0;
    navToIo_ = 0;
    ioToNavSequence_ = -1;
    navToIoSequence_ = -1;
}

void TfrmIoReplay::stopOnError(const QString& message) {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    enabled_ = false;
    msg::notify(this, msg::Kind::Error, "Io Replay", message);
}

void TfrmIoReplay::ioTraffic(const vx::IoTrafficRecord& r) {
    if (!enabled_) return;
    activity_ = true;
    const QString name = lblIoReplayFilename->text();
    if (!file_) {
        file_ = std::fopen(QFile::encodeName(name).constData(), "w");
        if (!file_) {
            stopOnError(QString("%1\n\n%2: %3").arg(kOpenFailed, name, std::strerror(errno)));
            return;
        }
    }
    const bool first = (r.flags & vx::kIoFirstPiece) != 0;
    if (r.subcode == vx::kIoToNavSubcode) {
        if (first) ++ioToNav_;
        ioToNavSequence_ = r.sequence;
    } else {
        if (first) ++navToIo_;
        navToIoSequence_ = r.sequence;
    }
    const std::string text = vx::ioCaptureText(r);
    bool ok = std::fwrite(text.data(), 1, text.size(), file_) == text.size();
    // Each finished line goes to the disk at once: a capture survives a crash or a pulled plug.
    if (ok && (r.flags & vx::kIoLastPiece)) ok = std::fflush(file_) == 0;
    if (!ok) {
        stopOnError(QString("Writing %1 failed: %2. The capture has stopped; it starts again "
                            "with a new file at the next Start Monitor.")
                        .arg(name, std::strerror(errno)));
    }
}

void TfrmIoReplay::tmrActivityTimer() {
    if (!activity_) return;
    shpActivity->setColour(shpActivity->colour() == lamp::kBlue ? lamp::kWhite : lamp::kBlue);
    activity_ = false;
    lblIoToNav->setText(QString::number(ioToNav_));
    lblNavToIo->setText(QString::number(navToIo_));
}
