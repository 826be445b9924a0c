#include "config/profile_form.h"

#include "link/link_texts.h"
#include "widgets/file_dialog_qt.h"
#include "widgets/message_qt.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr const char* kColumns[] = {"Field", "Profile", "Receiver", "State"};

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

TprofileForm::TprofileForm(Console& console, vx::ComSlots& slotMap, QWidget* parent)
    : ConsoleDialog(parent), routes_(console, vx::WindowId::TprofileForm, this), slots_(slotMap) {
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    now_ = [clock] { return int64_t(clock->elapsed()); };

    statusLabel_ = new QLabel(tr("Choose Save, Verify or Apply in the Config menu."), this);
    statusLabel_->setObjectName("statusLabel");
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName("progressBar");
    progressBar_->setRange(0, 1);
    progressBar_->setValue(0);
    resultTable_ = new QTableWidget(0, 4, this);
    resultTable_->setObjectName("resultTable");
    QStringList headers;
    for (const char* h : kColumns) headers << h;
    resultTable_->setHorizontalHeaderLabels(headers);
    resultTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultTable_->verticalHeader()->setVisible(false);
    resultTable_->horizontalHeader()->setStretchLastSection(true);
    resultTable_->setMinimumSize(620, 320);
    summaryLabel_ = new QLabel(this);
    summaryLabel_->setObjectName("summaryLabel");
    messagesMemo_ = new QPlainTextEdit(this);
    messagesMemo_->setObjectName("messagesMemo");
    messagesMemo_->setReadOnly(true);
    messagesMemo_->setMaximumHeight(90);

    stopButton_ = new QPushButton(tr("Stop"), this);
    stopButton_->setObjectName("stopButton");
    stopButton_->setEnabled(false);
    saveTableButton_ = new QPushButton(tr("Save Table..."), this);
    saveTableButton_->setObjectName("saveTableButton");
    saveTableButton_->setEnabled(false);
    closeButton_ = new QPushButton(tr("Close"), this);
    closeButton_->setObjectName("closeButton");
    runTimer_ = new QTimer(this);
    runTimer_->setObjectName("runTimer");
    runTimer_->setSingleShot(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(stopButton_);
    buttons->addWidget(saveTableButton_);
    buttons->addStretch();
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(statusLabel_);
    layout->addWidget(progressBar_);
    layout->addWidget(resultTable_, 1);
    layout->addWidget(summaryLabel_);
    layout->addWidget(messagesMemo_);
    layout->addLayout(buttons);

    connect(stopButton_, &QPushButton::clicked, this, &TprofileForm::stopButtonClick);
    connect(saveTableButton_, &QPushButton::clicked, this, &TprofileForm::saveTableButtonClick);
    connect(closeButton_, &QPushButton::clicked, this, &TprofileForm::closeButtonClick);
    connect(runTimer_, &QTimer::timeout, this, &TprofileForm::runTimerTimer);

    using R = vx::HandlerRole;
    routes_.setRunningFlag([this] { return running(); });
    routes_.on(R::Reply, [this](const vx::Delivery& d, const vx::RouteStep&) {
        if (!running()) return;
        run_->packet(d.h1, d.h2, d.record, now_());
        advance();
    });
    routes_.onAck(R::SetAck, [this](const vx::AckRecord& a) {
        if (!running()) return;
        run_->ack(vx::kCmdSet, a, now_());
        advance();
    });
    routes_.onAck(R::QueryAck, [this](const vx::AckRecord& a) {
        if (!running()) return;
        run_->ack(vx::kCmdQuery, a, now_());
        advance();
    });
    centreOnFirstShow();
}

TprofileForm::~TprofileForm() = default;

void TprofileForm::openedFor(MenuExtra item) {
    if (running()) {
        msg::show(this, msg::Kind::Error, "Error",
                  tr("A profile run is in progress: stop it before starting another."));
        return;
    }
    QString path;
    switch (item) {
    case MenuExtra::ProfileSave:
        path = fileDialog::saveFileName(this, tr("Save Receiver Configuration"), "receiver.profile",
                                        true);
        if (!path.isEmpty()) saveTo(path);
        break;
    case MenuExtra::ProfileVerify:
        path = fileDialog::openFileName(this, tr("Verify Receiver Against Profile"), "");
        if (!path.isEmpty()) verifyAgainst(path);
        break;
    case MenuExtra::ProfileApply:
        path = fileDialog::openFileName(this, tr("Apply Profile to Receiver"), "");
        if (!path.isEmpty()) applyFrom(path);
        break;
    default:
        break;
    }
}

std::optional<QString> TprofileForm::receiverPort() {
    Console& c = routes_.console();
    const vx::LinkSettings s = c.link().settings();
    if (!c.monitoring() || s.replay) {
        msg::show(this, msg::Kind::Error, "Error",
                  c.monitoring() ? tr("The source is a replay file: a profile is read from and "
                                      "written to a receiver's port.")
                                 : tr("Not monitoring: start monitoring the receiver's port "
                                      "first."));
        return std::nullopt;
    }
    return qs(
        vx::portLabel("COM" + std::to_string(int(s.portIndex) + 1), slots_.path(s.portIndex)));
}

std::optional<vx::Profile> TprofileForm::readProfile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        msg::show(this, msg::Kind::Error, "Error", path + ":\n" + f.errorString());
        return std::nullopt;
    }
    if (f.size() > qint64(vx::kMaxProfileBytes)) {
        msg::show(this, msg::Kind::Error, "Error",
                  tr("%1:\nnot a profile: larger than %2 MiB.")
                      .arg(path)
                      .arg(vx::kMaxProfileBytes >> 20));
        return std::nullopt;
    }
    const QByteArray bytes = f.readAll();
    vx::ProfileParse p =
        vx::parseProfile(std::string_view(bytes.constData(), size_t(bytes.size())));
    if (!p.ok()) {
        QString text = tr("The profile %1 is refused; nothing was sent.\n").arg(path);
        for (const std::string& e : p.errors) text += "\n" + qs(e);
        msg::show(this, msg::Kind::Error, "Error", text);
        return std::nullopt;
    }
    return std::move(p.profile);
}

void TprofileForm::saveTo(const QString& path) {
    auto port = receiverPort();
    if (!port) return;
    port_ = *port;
    start(std::make_unique<vx::ProfileRun>(vx::ProfileRun::save()), path);
}

void TprofileForm::verifyAgainst(const QString& path) {
    auto port = receiverPort();
    if (!port) return;
    std::optional<vx::Profile> p = readProfile(path);
    if (!p) return;
    port_ = *port;
    start(std::make_unique<vx::ProfileRun>(vx::ProfileRun::verify(*p)), path);
}

void TprofileForm::applyFrom(const QString& path) {
    auto port = receiverPort();
    if (!port) return;
    std::optional<vx::Profile> p = readProfile(path);
    if (!p) return;
    const std::vector<std::string> refusals = vx::applyRefusals(*p);
    if (!refusals.empty()) {
        QString text = tr("The profile %1 cannot be applied; nothing was sent.\n").arg(path);
        for (const std::string& r : refusals) text += "\n" + qs(r);
        msg::show(this, msg::Kind::Error, "Error", text);
        return;
    }
    const QString question = tr("Apply %1 fields of %2 to the receiver on %3?\n\nThe Set commands "
                                "change the receiver's configuration.")
                                 .arg(p->values.size())
                                 .arg(path, *port);
    if (!msg::confirm(this, msg::Kind::Warning, tr("Apply Profile to Receiver"), question)) return;
    port_ = *port;
    start(std::make_unique<vx::ProfileRun>(vx::ProfileRun::apply(*p)), path);
}

void TprofileForm::start(std::unique_ptr<vx::ProfileRun> run, const QString& path) {
    run_ = std::move(run);
    path_ = path;
    rows_.clear();
    resultTable_->setRowCount(0);
    summaryLabel_->clear();
    messagesMemo_->clear();
    saveTableButton_->setEnabled(false);
    stopButton_->setEnabled(true);
    progressBar_->setRange(0, int(std::max<size_t>(run_->total(), 1)));
    progressBar_->setValue(0);
    show();
    raise();
    run_->start(routes_.console().sink(), now_());
    advance();
}

void TprofileForm::advance() {
    if (!run_) return;
    if (run_->finished()) {
        finish();
        return;
    }
    progressBar_->setValue(int(run_->done()));
    statusLabel_->setText(qs(run_->status()));
    if (auto at = run_->wakeAt())
        runTimer_->start(int(std::clamp<int64_t>(*at - now_(), 0, 60000)));
}

void TprofileForm::runTimerTimer() {
    if (!running()) return;
    run_->tick(now_());
    advance();
}

void TprofileForm::finish() {
    runTimer_->stop();
    stopButton_->setEnabled(false);
    progressBar_->setValue(progressBar_->maximum());
    const vx::ProfileRun& run = *run_;
    if (!run.failure().empty()) {
        statusLabel_->setText(tr("Stopped: %1").arg(qs(run.failure())));
        msg::show(this, msg::Kind::Error, "Error", tr("%1: %2").arg(port_, qs(run.failure())));
        return;
    }
    if (!run.answered()) {
        statusLabel_->setText(tr("The receiver on %1 did not answer.").arg(port_));
        return;
    }
    if (run.mode() == vx::ProfileRun::Mode::Save) {
        size_t comments = 0;
        const std::string text = run.savedText(
            {"Ornivex receiver configuration profile",
             "receiver: " + (run.versionText().empty() ? "no version reply" : run.versionText()),
             "saved: " +
                 QDateTime::currentDateTimeUtc().toString("yyyy-MM-dd HH:mm:ss").toStdString() +
                 " UTC",
             "port: " + port_.toStdString()},
            &comments);
        QFile f(path_);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            f.write(text.data(), qint64(text.size())) != qint64(text.size()) || !f.flush()) {
            statusLabel_->setText(tr("The profile was not saved."));
            msg::show(this, msg::Kind::Error, "Error", path_ + ":\n" + f.errorString());
            return;
        }
        const size_t saved = run.savedProfile().values.size();
        QString status = tr("%1 fields saved to %2").arg(saved).arg(path_);
        if (comments)
            status += tr("; %1 not answered or refused, written as comments").arg(comments);
        statusLabel_->setText(status);
        return;
    }
    for (const std::string& s : run.skipped()) messagesMemo_->appendPlainText(qs(s));
    for (const std::string& r : run.refused()) messagesMemo_->appendPlainText(qs("refused: " + r));
    showRows(run.verifyRows());
    statusLabel_->setText(run.mode() == vx::ProfileRun::Mode::Apply
                              ? tr("Applied %1 to %2, then verified").arg(path_, port_)
                              : tr("Verified %1 against %2").arg(port_, path_));
}

void TprofileForm::showRows(const std::vector<vx::FieldCompare>& rows) {
    rows_ = rows;
    resultTable_->setRowCount(int(rows.size()));
    for (int i = 0; i < int(rows.size()); ++i) {
        const vx::FieldCompare& r = rows[size_t(i)];
        std::string state = vx::fieldStateText(r.state);
        if (!r.note.empty()) state += " (" + r.note + ")";
        const std::string cells[] = {r.name, r.first, r.second, state};
        for (int c = 0; c < 4; ++c) resultTable_->setItem(i, c, new QTableWidgetItem(qs(cells[c])));
        if (r.state != vx::FieldState::Same)
            for (int c = 0; c < 4; ++c)
                resultTable_->item(i, c)->setBackground(r.state == vx::FieldState::Different
                                                            ? QColor(255, 200, 200)
                                                            : QColor(255, 255, 190));
    }
    resultTable_->resizeColumnsToContents();
    summaryLabel_->setText(qs(vx::summaryLine(vx::summarize(rows))));
    saveTableButton_->setEnabled(!rows.empty());
}

void TprofileForm::stopButtonClick() {
    if (!running()) return;
    runTimer_->stop();
    const bool applying = run_->mode() == vx::ProfileRun::Mode::Apply;
    run_.reset();
    stopButton_->setEnabled(false);
    statusLabel_->setText(applying ? tr("Stopped: the receiver may hold part of the profile.")
                                   : tr("Stopped."));
}

void TprofileForm::saveTableButtonClick() {
    if (rows_.empty()) return;
    const QString path = fileDialog::saveFileName(this, tr("Save Table"), "verify.txt", true);
    if (path.isEmpty()) return;
    const std::string text = vx::compareTable(rows_, "Profile", "Receiver");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(text.data(), qint64(text.size())) != qint64(text.size()) || !f.flush())
        msg::show(this, msg::Kind::Error, "Error", path + ":\n" + f.errorString());
}

void TprofileForm::closeButtonClick() {
    close();
}

bool TprofileForm::closeRequested() {
    if (running()) {
        msg::show(this, msg::Kind::Error, "Error",
                  tr("A profile run is in progress: stop it before closing the window."));
        return false;
    }
    return true;
}
