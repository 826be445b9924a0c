#include "app/io_replay_form.h"

#include "app/io_capture.h"
#include "console/console_qt.h"
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

const char* const kOpenFailed = "FAILED TO OPEN FILE!";
const char* const kCaptureStopped = "Capture stopped; monitoring continues.";

std::tm localNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

} // namespace

TfrmIoReplay::TfrmIoReplay(Console& console, QWidget* parent)
    : ConsoleDialog(parent, Qt::Dialog | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      routes_(console, vx::WindowId::TfrmIoReplay, this) {
    now = localNow;

    auto* grid = new QGridLayout(this);
    auto* fileCaption = new QLabel("Io Replay File:", this);
    fileCaption->setObjectName("Label1");
    fileNameLabel_ = new QLabel(this);
    fileNameLabel_->setObjectName("lblIoReplayFilename");
    fileNameLabel_->setMinimumWidth(300);
    fileNameLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* ioToNavCaption = new QLabel("IO->NAV:", this);
    ioToNavCaption->setObjectName("Label2");
    ioToNavLabel_ = new QLabel("0", this);
    ioToNavLabel_->setObjectName("lblIoToNav");
    auto* navToIoCaption = new QLabel("NAV->IO:", this);
    navToIoCaption->setObjectName("Label3");
    navToIoLabel_ = new QLabel("0", this);
    navToIoLabel_->setObjectName("lblNavToIo");
    unitEdit_ = new QLineEdit("H01", this);
    unitEdit_->setObjectName("ledUnit");
    unitEdit_->setMaximumWidth(80);
    activityLamp_ = new Lamp(this, 14);
    activityLamp_->setObjectName("shpActivity");

    grid->addWidget(fileCaption, 0, 0);
    grid->addWidget(fileNameLabel_, 0, 1, 1, 3);
    grid->addWidget(ioToNavCaption, 1, 0);
    grid->addWidget(ioToNavLabel_, 1, 1);
    grid->addWidget(navToIoCaption, 2, 0);
    grid->addWidget(navToIoLabel_, 2, 1);
    auto* unitRow = new QHBoxLayout;
    unitRow->addWidget(new QLabel("Unit", this));
    unitRow->addWidget(unitEdit_);
    unitRow->addStretch();
    unitRow->addWidget(activityLamp_);
    grid->addLayout(unitRow, 3, 0, 1, 4);
    grid->setColumnStretch(3, 1);

    activityTimer_ = new QTimer(this);
    activityTimer_->setObjectName("tmrActivity");
    activityTimer_->setInterval(200);
    connect(activityTimer_, &QTimer::timeout, this, &TfrmIoReplay::tmrActivityTimer);
    activityTimer_->start();
    connect(unitEdit_, &QLineEdit::editingFinished, this, &TfrmIoReplay::ledUnitEdited);

    routes_.onRecord<vx::IoTrafficRecord>(
        vx::HandlerRole::Reply,
        [this](const vx::IoTrafficRecord& r, const vx::Routed&) { ioTraffic(r); });
    resetCapture();
}

TfrmIoReplay::~TfrmIoReplay() {
    // The unit box may report a last focus change while the widgets are torn down.
    unitEdit_->disconnect(this);
    if (file_) std::fclose(file_);
}

void TfrmIoReplay::ledUnitEdited() {
    const QString unit = unitEdit_->text();
    if (vx::ioCaptureUnitIsSafe(unit.toStdString())) {
        lastGoodUnit_ = unit;
        return;
    }
    // A unit text becomes part of the file name: one that names another folder is refused.
    unitEdit_->setText(lastGoodUnit_);
    msg::notify(this, msg::Kind::Error, "Error",
                QString("The unit \"%1\" cannot be part of a file name: use letters and digits "
                        "without '/', '\\' or \"..\".")
                    .arg(unit));
}

void TfrmIoReplay::armCapture(int portIndex) {
    const QString unit = unitEdit_->text();
    if (!vx::ioCaptureUnitIsSafe(unit.toStdString())) {
        enabled_ = false;
        fileNameLabel_->clear();
        msg::notify(this, msg::Kind::Error, "Error",
                    QString("The unit \"%1\" cannot be part of a file name: nothing is captured. "
                            "Use letters and digits without '/', '\\' or \"..\".")
                        .arg(unit));
        return;
    }
    enabled_ = true;
    unitEdit_->setEnabled(false);
    fileNameLabel_->setText(
        QString::fromStdString(vx::ioCaptureFileName(unit.toStdString(), now(), portIndex)));
}

void TfrmIoReplay::resetCapture() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    unitEdit_->setEnabled(true);
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
    const QString name = fileNameLabel_->text();
    if (!file_) {
        file_ = std::fopen(QFile::encodeName(name).constData(), "w");
        if (!file_) {
            stopOnError(QString("%1\n\n%2: %3\n\n%4")
                            .arg(kOpenFailed, name, std::strerror(errno), kCaptureStopped));
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
        stopOnError(QString("Writing %1 failed: %2.\n\n%3 The next Start Monitor captures to "
                            "a new file.")
                        .arg(name, std::strerror(errno), kCaptureStopped));
    }
}

QString TfrmIoReplay::captureFileName() const {
    return fileNameLabel_->text();
}

void TfrmIoReplay::tmrActivityTimer() {
    if (!activity_) return;
    activityLamp_->setColour(activityLamp_->colour() == lamp::kBlue ? lamp::kWhite : lamp::kBlue);
    activity_ = false;
    ioToNavLabel_->setText(QString::number(ioToNav_));
    navToIoLabel_->setText(QString::number(navToIo_));
}
