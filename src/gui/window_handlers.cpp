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
#include <QPushButton>
#include <QScrollBar>

#include "common/number_text.h"
#include "gui/aprs_panel.h"
#include "gui/main_window.h"
#include "gui/map_widget.h"
#include "io/file_replay.h"
#include "io/serial_receiver.h"
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

void MainWindow::SetBlink(const QColor& colour, const QString& state) {
    QPalette p = Blink->palette();
    p.setColor(QPalette::Window, colour);
    Blink->setPalette(p);
    Blink->setAccessibleDescription(state);
    Blink->setToolTip(QStringLiteral("Receiver: ") + state);
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
    // A running replay holds until reception stops, then continues where it was.
    replay_->SetHeld(true);
    QString error;
    if (!receiver_->Start(Text3->text().toStdString(), error)) {
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
    OpenFileCmd->setEnabled(true);
    // "Go" only when a replay has been started before, and not while one is still under way
    // (it continues now): two replays at once would mix their files.
    GoCmd->setEnabled(file_started_ && !replay_->IsActive());
    replay_->SetHeld(false);
}

void MainWindow::ReceiverFailed(const QString& message) {
    StopReception();
    ShowMessage(message + QStringLiteral("\n\nEverything received until then has been evaluated."));
}

void MainWindow::Timer1_Timer() {
    blink_red_ = !blink_red_;
    SetBlink(blink_red_ ? QColor(255, 0, 0) : QColor(0, 255, 0), QStringLiteral("receiving"));
    session_.ShowTextTable();
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
    GoCmd->setEnabled(!replay_->IsActive() && !receiver_->IsRunning());
}

void MainWindow::GoCmd_Click() {
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
    GoCmd->setEnabled(!receiver_->IsRunning());
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
    LiveList& live = session_.live();
    if (ShowDb->isChecked() && live.Generation() != shown_list_) {
        SetTextIfChanged(TableText, Lines(session_.ListText()));
        shown_list_ = live.Generation();
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
    status += AprsFrame->CountsLine();
    if (status != shown_status_) {
        StatusText->setPlainText(status);
        shown_status_ = status;
    }
}

}  // namespace ternwick
