// The main window "Ternwick": the controls of the serial receiver, the file replay and the
// APRS output, the map, the live flight list and the text outputs. It only wires controls
// to the session and its sources; decoding and drawing happen in the session.
#pragma once

#include <QWidget>

#include <QTimer>

#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace ternwick {

class AprsPanel;
class ReceiverPanel;
class FileReplay;
class LiveMapWidget;
class MapWidget;
class MessageLog;
class NetworkSource;
class SerialReceiver;
class Session;

class MainWindow : public QWidget {
public:
    // `session` has been started; the window shows its current map and table.
    explicit MainWindow(Session& session, QWidget* parent = nullptr);
    ~MainWindow() override;

    // As if `path` had been chosen with "Open File" and "Go" pressed.
    void ReplayFile(const QString& path);
    // "Read Timer" at `speed` (one of the choices of "Replay speed"; others are added).
    void SetPace(double speed);
    // Big enough to show every control without scrolling (the controls scroll on a smaller
    // screen).
    // What the controls want, within the screen's free area.
    QSize sizeHint() const override;
    // The same without the screen's bound: room for every control without scrolling.
    QSize WantedSize() const;
    // The size to open at on a screen with `available` free: nine tenths of it both ways, all
    // of it where the controls want that much, never below `minimum`.
    static QSize StartSize(QSize wanted, QSize minimum, QSize available);
    // A message box that does not hold up the event loop (a replay or reception goes on
    // behind it).
    void ShowMessage(const QString& text, bool error = true);

    FileReplay& replay() { return *replay_; }
    SerialReceiver& receiver() { return *receiver_; }
    NetworkSource& network() { return *network_; }
    LiveMapWidget& liveMap() { return *LiveMap; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildControlColumn();
    QWidget* BuildLiveMapPage();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void Connect();

    // The handlers, under the names of the controls they serve.
    void StartStopCom_Click();
    void Timer1_Timer();
    void OpenFileCmd_Click();
    void FileChosen(const QString& path);
    void GoCmd_Click();
    void ReadPause_Click();
    void ReplayEnded(const QString& failure);
    void FileOption_Click();
    void ReplaySpeed_Changed();
    void ShowReplayProgress();
    void OpenLogData_Click();
    void LogFileChosen(const QString& path);
    void LogData_Click(bool on);
    void LogFailed(const QString& message);
    void MapList_Click(int index);
    void ClearMap_Click();
    void ReceiverFailed(const QString& message);
    void StopReception();
    void ConnectNet_Click();
    void StopNetwork();
    void ShowNetworkState();
    // A live source (receiver or network) holds the replay and locks the file buttons;
    // when the last one stops, the replay continues and the buttons come back.
    void LiveSourcesChanged();
    static void SetIndicator(QLabel* indicator, const QColor& colour, const QString& state);
    void SetBlink(const QColor& colour, const QString& state) { SetIndicator(Blink, colour, state); }
    void ListSettingsChanged();
    void PositionExpiryChanged();
    // The live map's selection: the details panel and the marked row of the live list.
    void SelectionChanged();
    void ShowDetails();
    void MarkListRow();
    void ListRowClicked(const QPoint& pos);
    // Screen-rate refresh: the map, the list and the text boxes, each only when changed.
    void Refresh();

    Session& session_;
    FileReplay* replay_ = nullptr;
    SerialReceiver* receiver_ = nullptr;
    NetworkSource* network_ = nullptr;
    MessageLog* log_ = nullptr;

    QWidget* control_column_ = nullptr;
    QPushButton* ClearMap = nullptr;
    QGroupBox* Frame1 = nullptr;
    QPushButton* StartStopCom = nullptr;
    QLineEdit* Text3 = nullptr;
    QLabel* Blink = nullptr;
    QGroupBox* NetFrame = nullptr;
    QLineEdit* NetHost = nullptr;
    QPushButton* ConnectNet = nullptr;
    QLabel* NetBlink = nullptr;
    QLabel* NetState = nullptr;
    QString net_error_;
    QGroupBox* FileOpt = nullptr;
    QRadioButton* FileOption[3] = {};
    QPushButton* GoCmd = nullptr;
    QPushButton* ReadPause = nullptr;
    QPushButton* OpenFileCmd = nullptr;
    QComboBox* ReplaySpeed = nullptr;
    QLineEdit* ReplayRate = nullptr;
    QLabel* ReplayTime = nullptr;
    QProgressBar* ReplayProgress = nullptr;
    QGroupBox* Frame2 = nullptr;
    QCheckBox* LogData = nullptr;
    QPushButton* OpenLogData = nullptr;
    AprsPanel* AprsFrame = nullptr;
    ReceiverPanel* RxFrame = nullptr;
    QLineEdit* AirPosExpire = nullptr;
    QLineEdit* DbExpire = nullptr;
    QLineEdit* SurfPosExpire = nullptr;
    QCheckBox* PlotAir = nullptr;
    QCheckBox* ShowDb = nullptr;
    QCheckBox* PlotSurf = nullptr;
    QCheckBox* UseKmh = nullptr;
    QComboBox* MapList = nullptr;
    MapWidget* Map = nullptr;
    QTabWidget* MapTabs = nullptr;
    LiveMapWidget* LiveMap = nullptr;
    QPushButton* HomeButton = nullptr;
    QPushButton* FitButton = nullptr;
    QPlainTextEdit* Details = nullptr;
    QString shown_details_;
    QPlainTextEdit* StatusText = nullptr;
    QPlainTextEdit* RxText = nullptr;
    QPlainTextEdit* TableText = nullptr;
    QTimer Timer1;
    QTimer refresh_;
    // The list's expiry pass once a second, whatever the sources (serial, network, replay,
    // any mix): aircraft show, leave and are withdrawn alike.
    QTimer list_pass_;

    QString ReplayFileName;
    QString LogFileName;
    bool file_started_ = false;  // a replay has been started since start-up
    bool blink_red_ = false;
    uint64_t shown_list_ = 0;  // the list is empty until its first pass
    uint64_t shown_messages_ = ~uint64_t{0};
    QString shown_status_;
};

}  // namespace ternwick
