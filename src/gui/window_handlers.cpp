// What the window's controls do: the serial receiver, the file replay with pause and
// resume, the map choice, and the screen-rate refresh of what is shown (the APRS output
// has its own group, aprs_panel.cpp).
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "common/number_text.h"
#include "gui/aprs_panel.h"
#include "gui/live_map_widget.h"
#include "gui/main_window.h"
#include "gui/map_widget.h"
#include "io/file_replay.h"
#include "io/message_log.h"
#include "io/network_source.h"
#include "io/serial_receiver.h"
#include "session/receiver_setting.h"
#include "session/session.h"

namespace ternwick {

namespace {

const QString kStartCom = QStringLiteral("Start COM:");
const QString kStopCom = QStringLiteral("Stop COM:");

void SetTextIfChanged(QPlainTextEdit* box, const QString& text) {
    if (box->toPlainText() == text) return;
    // Keep the reader's place in a long list across refreshes.
    const int scroll = box->verticalScrollBar()->value();
    box->setPlainText(text);
    box->verticalScrollBar()->setValue(scroll);
}

QString Lines(const std::string& text) {
    // The session's texts end lines with CR LF; a text box wants LF.
    QString s = QString::fromStdString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

}  // namespace

void MainWindow::ShowMessage(const QString& text, bool error) {
    auto* box = new QMessageBox(error ? QMessageBox::Warning : QMessageBox::Information, QStringLiteral("Ternwick"),
                                text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();  // no nested event loop: a running replay or reception goes on
}

void MainWindow::SetIndicator(QLabel* indicator, const QColor& colour, const QString& state) {
    QPalette p = indicator->palette();
    p.setColor(QPalette::Window, colour);
    indicator->setPalette(p);
    indicator->setAccessibleDescription(state);
    indicator->setToolTip(state);
}

void MainWindow::LiveSourcesChanged() {
    const bool live = receiver_->IsRunning() || network_->IsRunning();
    // Live reception runs by the wall clock, whatever a replay left the clock at.
    if (live) session_.clock().EndRecording();
    OpenFileCmd->setEnabled(!live);
    // "Go" only when a replay has been started before, and not while one is still under way
    // (it continues now): two replays at once would mix their files. A replay read by hand
    // goes on with "Go".
    GoCmd->setEnabled(!live && file_started_ && (!replay_->IsActive() || replay_->Mode() == ReplayMode::Manual));
    replay_->SetHeld(live);
    // While a live source runs the replay is held: every message is judged by the time it
    // arrives, which the speed check trusts.
    session_.SetMessageTimesReal(live);
}

// --- Serial receiver ---------------------------------------------------------------

void MainWindow::StartStopCom_Click() {
    if (StartStopCom->text() != kStartCom) {
        StopReception();
        return;
    }
    StartStopCom->setText(kStopCom);
    OpenFileCmd->setEnabled(false);
    GoCmd->setEnabled(false);
    QString error;
    const bool started = receiver_->Start(Text3->text().toStdString(), error);
    // A running replay holds until reception stops, then continues where it was.
    LiveSourcesChanged();
    if (!started) {
        StopReception();
        ShowMessage(error + QStringLiteral("\n\nCheck the receiver port: a number (1 = the first serial port) "
                                           "or a device name such as /dev/ttyUSB0 or COM3."));
        return;
    }
    Timer1.start();
    blink_red_ = true;
    SetBlink(QColor(255, 0, 0), QStringLiteral("receiving"));
}

void MainWindow::StopReception() {
    StartStopCom->setText(kStartCom);
    receiver_->Stop();
    Timer1.stop();
    SetBlink(QColor(128, 128, 128), QStringLiteral("stopped"));
    LiveSourcesChanged();
}

// --- Network source ----------------------------------------------------------------

void MainWindow::ConnectNet_Click() {
    if (network_->IsRunning()) {
        StopNetwork();
        return;
    }
    net_error_.clear();
    QString error;
    if (!network_->Start(NetHost->text().trimmed(), error)) {
        ShowMessage(error + QStringLiteral("\n\nType host:port, for example localhost:30005 (Beast) or "
                                           "raspberrypi.local:30002 (AVR text)."));
        return;
    }
    LiveSourcesChanged();
    ShowNetworkState();
}

void MainWindow::StopNetwork() {
    network_->Stop();
    LiveSourcesChanged();
    ShowNetworkState();
}

void MainWindow::ShowNetworkState() {
    using State = NetworkSource::State;
    const State state = network_->state();
    ConnectNet->setText(state == State::Stopped ? QStringLiteral("Connect") : QStringLiteral("Disconnect"));
    NetHost->setEnabled(state == State::Stopped);
    QString text;
    switch (state) {
        case State::Stopped: text = QString(); break;
        case State::Connecting: text = QStringLiteral("connecting…"); break;
        case State::Retrying: text = QStringLiteral("retrying in %1 s").arg(network_->RetrySecondsLeft()); break;
        case State::Connected:
            text = network_->IsReceiving() ? QStringLiteral("receiving") : QStringLiteral("connected, silent");
            break;
    }
    NetState->setText(text);
    NetState->setToolTip(net_error_);
    // Green while bytes arrive, red while the link is up (or being made) but silent, grey
    // while stopped.
    if (state == State::Stopped) SetIndicator(NetBlink, QColor(128, 128, 128), QStringLiteral("stopped"));
    else if (network_->IsReceiving()) SetIndicator(NetBlink, QColor(0, 255, 0), QStringLiteral("receiving"));
    else SetIndicator(NetBlink, QColor(255, 0, 0), text + (net_error_.isEmpty() ? QString() : ": " + net_error_));
}

void MainWindow::ReceiverFailed(const QString& message) {
    StopReception();
    ShowMessage(message + QStringLiteral("\n\nEverything received until then has been evaluated."));
}

void MainWindow::Timer1_Timer() {
    blink_red_ = !blink_red_;
    SetBlink(blink_red_ ? QColor(255, 0, 0) : QColor(0, 255, 0), QStringLiteral("receiving"));
}

// --- File replay -------------------------------------------------------------------

void MainWindow::OpenFileCmd_Click() {
    auto* dialog = new QFileDialog(this, QStringLiteral("Open File"), QCoreApplication::applicationDirPath());
    dialog->setNameFilters({QStringLiteral("Log or Txt Files (*.log *.txt)"), QStringLiteral("All Files (*)")});
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &MainWindow::FileChosen);
    dialog->open();  // window-modal without a nested event loop
}

void MainWindow::FileChosen(const QString& path) {
    if (path.isEmpty()) return;
    ReplayFileName = path;
    // While a replay runs the new file waits for the next "Go".
    GoCmd->setEnabled(!replay_->IsActive() && !receiver_->IsRunning() && !network_->IsRunning());
}

void MainWindow::GoCmd_Click() {
    // "Read Manual": while the replay runs, each press evaluates the next message.
    if (replay_->IsActive()) {
        if (replay_->Mode() == ReplayMode::Manual) replay_->Step();
        Refresh();
        return;
    }
    GoCmd->setEnabled(false);
    QString error;
    if (!replay_->Start(ReplayFileName, error)) {
        GoCmd->setEnabled(true);
        ShowMessage(error + QStringLiteral("\n\nChoose the file again with \"Open File\"."));
        return;
    }
    file_started_ = true;
    ReadPause->setEnabled(true);
    ReadPause->setText(QStringLiteral("||"));
    ReadPause->setToolTip(QStringLiteral("Pause the replay"));
    if (replay_->Mode() == ReplayMode::Manual) {
        GoCmd->setEnabled(true);
        replay_->Step();
        Refresh();
    }
}

void MainWindow::FileOption_Click() {
    const ReplayMode mode = FileOption[1]->isChecked()   ? ReplayMode::Manual
                            : FileOption[2]->isChecked() ? ReplayMode::Timer
                                                         : ReplayMode::All;
    replay_->SetMode(mode);
    if (replay_->IsActive()) LiveSourcesChanged();
}

void MainWindow::ReplaySpeed_Changed() {
    replay_->SetSpeed(ReplaySpeed->currentData().toDouble());
    // An empty or zero rate is no rate: the usual one then.
    const double rate = LeadingNumber(ReplayRate->text().toStdString());
    replay_->SetRate(rate > 0 ? rate : ReplayPacer::kDefaultRate);
}

void MainWindow::SetPace(double speed) {
    int index = ReplaySpeed->findData(speed);
    if (index < 0) {
        ReplaySpeed->addItem(QStringLiteral("%1x").arg(speed), speed);
        index = ReplaySpeed->count() - 1;
    }
    ReplaySpeed->setCurrentIndex(index);
    FileOption[2]->setChecked(true);
}

void MainWindow::ShowReplayProgress() {
    const auto s = static_cast<int64_t>(replay_->ReplaySeconds());
    const QString time = QStringLiteral("%1:%2:%3")
                             .arg(s / 3600, 2, 10, QLatin1Char('0'))
                             .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                             .arg(s % 60, 2, 10, QLatin1Char('0'));
    if (ReplayTime->text() != time) {
        ReplayTime->setText(time);
        // A label's name hides its text from a screen reader: the description says it.
        ReplayTime->setAccessibleDescription(time);
    }
    const qint64 size = replay_->Size();
    const int share = size > 0 ? static_cast<int>(replay_->Position() * 1000 / size) : 0;
    if (ReplayProgress->value() != share) ReplayProgress->setValue(share);
}

void MainWindow::ReadPause_Click() {
    const bool pause = !replay_->IsPaused();
    replay_->SetPaused(pause);
    ReadPause->setText(pause ? QStringLiteral(">") : QStringLiteral("||"));
    ReadPause->setToolTip(pause ? QStringLiteral("Resume the replay") : QStringLiteral("Pause the replay"));
}

void MainWindow::ReplayEnded(const QString& failure) {
    ReadPause->setEnabled(false);
    ReadPause->setText(QStringLiteral("||"));
    GoCmd->setEnabled(!receiver_->IsRunning() && !network_->IsRunning());
    Refresh();
    if (!failure.isEmpty()) ShowMessage(failure);
}

void MainWindow::ReplayFile(const QString& path) {
    FileChosen(path);
    if (GoCmd->isEnabled()) GoCmd_Click();
}

// --- Map, list settings, refresh -----------------------------------------------------

void MainWindow::MapList_Click(int index) {
    std::string error;
    if (!session_.MapList_Click(index + 1, error)) ShowMessage(QString::fromStdString(error));
    Map->Refresh();
}

void MainWindow::ClearMap_Click() {
    std::string error;
    if (!session_.ClearMap_Click(error)) ShowMessage(QString::fromStdString(error));
    Map->Refresh();
}

void MainWindow::ListSettingsChanged() {
    session_.SetListSettings({LeadingNumber(DbExpire->text().toStdString()), UseKmh->isChecked()});
}

void MainWindow::Refresh() {
    Map->Refresh();
    LiveMap->Refresh();
    ShowDetails();
    ShowReplayProgress();
    if (network_->state() == NetworkSource::State::Retrying) ShowNetworkState();  // the countdown
    LiveList& live = session_.live();
    if (ShowDb->isChecked() && live.Generation() != shown_list_) {
        SetTextIfChanged(TableText, Lines(session_.ListText()));
        shown_list_ = live.Generation();
        MarkListRow();
    }
    const uint64_t messages = session_.pump().evaluated();
    if (messages != shown_messages_) {
        SetTextIfChanged(RxText, Lines(session_.tracker().RxText()));
        shown_messages_ = messages;
    }
    QString status = Lines(session_.tracker().StatusText());
    // Aircraft beyond the table's 501 entries are not tracked: say so rather than lose them
    // without a word.
    if (const uint64_t full = session_.tracker().stats().table_full; full > 0)
        status += QStringLiteral("Table full: %1 messages not tracked\n").arg(full);
    // With a receiver position, the farthest position heard and its bearing.
    if (session_.receiver())
        status += QString::fromStdString(FarthestText(session_.coverage(), UseKmh->isChecked())) + QLatin1Char('\n');
    status += AprsFrame->CountsLine();
    if (status != shown_status_) {
        StatusText->setPlainText(status);
        shown_status_ = status;
    }
}


// --- Log Data to File ----------------------------------------------------------------

void MainWindow::OpenLogData_Click() {
    auto* dialog = new QFileDialog(this, QStringLiteral("Open Log File"), QCoreApplication::applicationDirPath());
    dialog->setNameFilters({QStringLiteral("Log Files (*.log)"), QStringLiteral("All Files (*)")});
    dialog->setDefaultSuffix(QStringLiteral("log"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &MainWindow::LogFileChosen);
    dialog->open();
}

void MainWindow::LogFileChosen(const QString& path) {
    if (path.isEmpty()) return;
    LogFileName = path;
    LogData->setEnabled(true);
    LogData->setToolTip(QStringLiteral("Log every message received to %1").arg(path));
    // While logging, the new file takes over from the next message.
    if (LogData->isChecked()) LogData_Click(true);
}

void MainWindow::LogData_Click(bool on) {
    BytePump& pump = session_.pump();
    if (!on) {
        pump.received = nullptr;
        log_->Close();
        return;
    }
    QString error;
    if (!log_->Open(LogFileName, error)) {
        const QSignalBlocker quiet(LogData);
        LogData->setChecked(false);
        pump.received = nullptr;
        ShowMessage(error + QStringLiteral("\n\nChoose another file with \"Open Log File\"."));
        return;
    }
    pump.received = [this](std::string_view digits, double) { log_->Write(digits); };
}

void MainWindow::LogFailed(const QString& message) {
    session_.pump().received = nullptr;
    const QSignalBlocker quiet(LogData);
    LogData->setChecked(false);
    ShowMessage(message);
}

}  // namespace ternwick
