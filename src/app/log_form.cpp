#include "app/log_form.h"

#include "widgets/file_dialog_qt.h"
#include "widgets/lamp_qt.h"
#include "widgets/message_qt.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kLampSize = 12;
const char* const kCaption = "Data Logging";
} // namespace

TlogForm::TlogForm(Console& console, QWidget* parent)
    : ConsoleDialog(parent, Qt::Dialog), routes_(console, vx::WindowId::TlogForm, this) {
    buildControls();

    // Reports reach the logger whether the window is shown or not (the routing's steps for
    // this window run always).
    routes_.on(vx::HandlerRole::Reply, [this](const vx::Delivery& d, const vx::RouteStep&) {
        logger_.report(d.h1, d.h2, d.record);
    });
    // Called on the thread that wrote (the receive worker for the binary logs): the lamps and
    // failures are taken on the GUI thread.
    logger_.setEventCallback(
        [this] { QMetaObject::invokeMethod(this, &TlogForm::logEvents, Qt::QueuedConnection); });
    routes_.console().link().addRawTap(&logger_);

    blipTimer_ = new QTimer(this);
    blipTimer_->setObjectName("blipTimer");
    blipTimer_->setInterval(kBlipMs);
    connect(blipTimer_, &QTimer::timeout, this, &TlogForm::blipTimerTimer);
    blipTimer_->start();
}

TlogForm::~TlogForm() {
    // The tap goes first: once removed, the worker no longer calls the logger; then every
    // file is flushed and closed.
    routes_.console().link().removeRawTap(&logger_);
    logger_.stopAll();
}

void TlogForm::buildControls() {
    auto button = [this](const char* caption, const char* name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        return b;
    };
    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setMinimumWidth(320);
        return e;
    };
    auto lamp = [this](const char* name) {
        auto* l = new Lamp(this, kLampSize);
        l->setObjectName(name);
        return l;
    };
    auto check = [this](const char* caption, const char* name) {
        auto* c = new QCheckBox(caption, this);
        c->setObjectName(name);
        return c;
    };
    auto radios = [this](Group& g, const char* asciiName, const char* binaryName) {
        g.ascii = new QRadioButton("ASCII", this);
        g.ascii->setObjectName(asciiName);
        g.binary = new QRadioButton("Binary", this);
        g.binary->setObjectName(binaryName);
        auto* exclusive = new QButtonGroup(this);
        exclusive->addButton(g.ascii);
        exclusive->addButton(g.binary);
        g.ascii->setChecked(true);
    };

    five_.file = edit("logFile10HzWin");
    five_.browse = button("...", "file10Button");
    check30_ = check("PKT 30-02", "CheckBox30");
    radios(five_, "RadioButton10_A", "RadioButton10_B");
    five_.start = button("Start", "tenStartButton");
    five_.stop = button("Stop", "tenStopButton");
    five_.lamp = lamp("rx10Status");
    five_.kind = vx::LogKind::FiveHzText;

    one_.file = edit("logFile1HzWin");
    one_.browse = button("...", "file1Button");
    check31_ = check("PKT 31-01", "CheckBox31");
    check32_ = check("PKT 32-01", "CheckBox32");
    check33_ = check("PKT 33-01", "CheckBox33");
    check36_ = check("PKT 36-ALL", "CheckBox36");
    radios(one_, "RadioButton1_A", "RadioButton1_B");
    one_.start = button("Start", "oneStartButton");
    one_.stop = button("Stop", "oneStopButton");
    one_.lamp = lamp("rx1Status");
    one_.kind = vx::LogKind::OneHzText;

    bin_.file = edit("LogFileBinWin");
    bin_.browse = button("...", "FileBinButton");
    bin_.start = button("Start", "binStartButton");
    bin_.stop = button("Stop", "binStopButton");
    bin_.lamp = lamp("rxBinStatus");
    bin_.kind = vx::LogKind::AllBytes;

    closeButton_ = button("Close", "closeButton");

    auto groupBox = [this](const char* title, Group& g, std::initializer_list<QWidget*> checks) {
        auto* box = new QGroupBox(title, this);
        auto* grid = new QGridLayout(box);
        auto* fileRow = new QHBoxLayout;
        fileRow->addWidget(g.file, 1);
        fileRow->addWidget(g.browse);
        grid->addLayout(fileRow, 0, 0, 1, 4);
        auto* checkRow = new QHBoxLayout;
        for (QWidget* c : checks) checkRow->addWidget(c);
        checkRow->addStretch();
        grid->addLayout(checkRow, 1, 0, 1, 4);
        auto* controls = new QHBoxLayout;
        if (g.ascii) {
            controls->addWidget(g.ascii);
            controls->addWidget(g.binary);
        }
        controls->addStretch();
        controls->addWidget(g.start);
        controls->addWidget(g.stop);
        controls->addWidget(g.lamp);
        grid->addLayout(controls, 2, 0, 1, 4);
        return box;
    };
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(groupBox("5 Hz Packet(s)", five_, {check30_}));
    layout->addWidget(groupBox("1 Hz Packet(s)", one_, {check31_, check32_, check33_, check36_}));
    layout->addWidget(groupBox("Log All Binary Data", bin_, {}));
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(closeButton_);
    layout->addLayout(bottom);

    connect(five_.browse, &QPushButton::clicked, this, &TlogForm::file10ButtonClick);
    connect(one_.browse, &QPushButton::clicked, this, &TlogForm::file1ButtonClick);
    connect(bin_.browse, &QPushButton::clicked, this, &TlogForm::FileBinButtonClick);
    connect(five_.start, &QPushButton::clicked, this, &TlogForm::tenStartButtonClick);
    connect(five_.stop, &QPushButton::clicked, this, &TlogForm::tenStopButtonClick);
    connect(one_.start, &QPushButton::clicked, this, &TlogForm::oneStartButtonClick);
    connect(one_.stop, &QPushButton::clicked, this, &TlogForm::oneStopButtonClick);
    connect(bin_.start, &QPushButton::clicked, this, &TlogForm::binStartButtonClick);
    connect(bin_.stop, &QPushButton::clicked, this, &TlogForm::binStopButtonClick);
    connect(closeButton_, &QPushButton::clicked, this, &TlogForm::closeButtonClick);
}

// ---- Files ------------------------------------------------------------------------------------

void TlogForm::chooseFile(Group& g, const QString& caption) {
    // A save dialog: the log file is usually new. Whether an existing one may be overwritten
    // is asked at Start.
    const QString name = fileDialog::saveFileName(this, caption, g.file->text(), false);
    if (!name.isEmpty()) g.file->setText(name);
}

void TlogForm::file10ButtonClick() {
    chooseFile(five_, "5 Hz Log File");
}

void TlogForm::file1ButtonClick() {
    chooseFile(one_, "1 Hz Log File");
}

void TlogForm::FileBinButtonClick() {
    chooseFile(bin_, "Binary Data Log File");
}

void TlogForm::warn(const QString& text) {
    msg::show(this, msg::Kind::Warning, kCaption, text);
}

bool TlogForm::startLog(Group& g, vx::LogKind kind, bool anySelected,
                        const vx::OneHzSelection& selection) {
    if (!anySelected) {
        warn("No Packets Selected.");
        return false;
    }
    const QString name = g.file->text().trimmed();
    if (name.isEmpty()) {
        warn("No File Selected.");
        return false;
    }
    const QString path = QDir::cleanPath(QFileInfo(name).absoluteFilePath());
    const std::string native = QFile::encodeName(path).toStdString();
    // A file another log is writing is never truncated under it.
    vx::LogKind other{};
    if (logger_.runningLogWrites(native, &other) && other != kind) {
        msg::show(this, msg::Kind::Error, kCaption,
                  QString("Open file error.\n\n%1: the %2 writes this file already.")
                      .arg(path, QString::fromLatin1(vx::logName(other).data(),
                                                     qsizetype(vx::logName(other).size()))));
        return false;
    }
    if (QFileInfo(path).isFile() && QFile(path).open(QIODevice::ReadOnly) &&
        !msg::ask(this, msg::Kind::Warning, "File Exists", "File Already Exists.  Overwrite?"))
        return false;
    std::string error;
    if (!logger_.start(kind, native, error, selection)) {
        msg::show(this, msg::Kind::Error, kCaption,
                  QString("Open file error.\n\n%1: %2").arg(path, QString::fromLocal8Bit(error)));
        return false;
    }
    g.kind = kind;
    g.lamp->setColour(lamp::kWhite);
    setRunning(g, true);
    return true;
}

void TlogForm::setRunning(Group& g, bool running) {
    g.start->setEnabled(!running);
    if (g.ascii) {
        g.ascii->setEnabled(!running);
        g.binary->setEnabled(!running);
    }
}

void TlogForm::stopLog(Group& g) {
    std::string error;
    if (!logger_.stop(g.kind, &error)) {
        g.lamp->setColour(lamp::kRed);
        msg::notify(
            this, msg::Kind::Error, kCaption,
            QString("Log file write error.\n\n%1: %2")
                .arg(QString::fromLocal8Bit(logger_.path(g.kind)), QString::fromLocal8Bit(error)));
    }
    setRunning(g, false);
}

// ---- Start and Stop ---------------------------------------------------------------------------

void TlogForm::tenStartButtonClick() {
    const auto kind =
        five_.binary->isChecked() ? vx::LogKind::FiveHzBinary : vx::LogKind::FiveHzText;
    startLog(five_, kind, check30_->isChecked());
}

void TlogForm::tenStopButtonClick() {
    stopLog(five_);
}

void TlogForm::oneStartButtonClick() {
    const vx::OneHzSelection sel{check31_->isChecked(), check32_->isChecked(),
                                 check33_->isChecked(), check36_->isChecked()};
    const auto kind = one_.binary->isChecked() ? vx::LogKind::OneHzBinary : vx::LogKind::OneHzText;
    startLog(one_, kind, sel.any(), sel);
}

void TlogForm::oneStopButtonClick() {
    stopLog(one_);
}

void TlogForm::binStartButtonClick() {
    startLog(bin_, vx::LogKind::AllBytes, true);
}

void TlogForm::binStopButtonClick() {
    stopLog(bin_);
}

void TlogForm::closeButtonClick() {
    close();
}

// ---- Lamps and failures -----------------------------------------------------------------------

TlogForm::Group& TlogForm::groupOf(vx::LogKind kind) {
    switch (kind) {
    case vx::LogKind::FiveHzText:
    case vx::LogKind::FiveHzBinary:
        return five_;
    case vx::LogKind::OneHzText:
    case vx::LogKind::OneHzBinary:
        return one_;
    case vx::LogKind::AllBytes:
        break;
    }
    return bin_;
}

void TlogForm::logEvents() {
    const vx::DataLogger::Events e = logger_.takeEvents();
    for (size_t i = 0; i < vx::kLogKinds; ++i) {
        const auto kind = vx::LogKind(i);
        if ((e.active & vx::logBit(kind)) && logger_.running(kind))
            groupOf(kind).lamp->setColour(lamp::kGreen);
    }
    for (size_t i = 0; i < vx::kLogKinds; ++i) {
        const auto kind = vx::LogKind(i);
        if (!(e.failed & vx::logBit(kind))) continue;
        // The log stopped writing when the write failed; close its file and say so. Monitoring
        // and the other logs go on.
        Group& g = groupOf(kind);
        const QString path = QString::fromLocal8Bit(logger_.path(kind));
        const QString reason = QString::fromLocal8Bit(logger_.failure(kind));
        logger_.stop(kind);
        setRunning(g, false);
        g.lamp->setColour(lamp::kRed);
        msg::notify(this, msg::Kind::Error, kCaption,
                    QString("Log file write error.\n\n%1: %2").arg(path, reason));
    }
}

void TlogForm::blipTimerTimer() {
    if (isVisible()) {
        for (Group* g : {&five_, &one_, &bin_})
            if (g->lamp->colour() == lamp::kGreen) g->lamp->setColour(lamp::kWhite);
    }
    logger_.flush();
}
