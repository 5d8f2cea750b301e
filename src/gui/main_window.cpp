// Building the window: the controls with their captions, start-up values and accessible
// names, arranged with layouts so the window can be resized.
#include "main_window.h"

#include <algorithm>

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/number_text.h"
#include "gui/aprs_panel.h"
#include "gui/live_map_widget.h"
#include "gui/map_widget.h"
#include "gui/receiver_panel.h"
#include "io/file_replay.h"
#include "io/message_log.h"
#include "io/network_source.h"
#include "io/serial_receiver.h"
#include "session/session.h"

namespace ternwick {

namespace {

// The text boxes' fixed-pitch font: the list columns line up only in one.
QFont TextBoxFont() {
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPointSize(9);
    f.setWeight(QFont::Normal);
    return f;
}

QPushButton* Button(const QString& caption, const QString& tip, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* Box(const QString& text, const QString& name, const QString& tip, int width, QWidget* parent) {
    auto* e = new QLineEdit(text, parent);
    e->setAccessibleName(name);
    e->setToolTip(tip);
    e->setFont(TextBoxFont());
    e->setFixedWidth(width);
    return e;
}

QPlainTextEdit* TextArea(const QString& name, QWidget* parent) {
    auto* t = new QPlainTextEdit(parent);
    t->setAccessibleName(name);
    t->setFont(TextBoxFont());
    t->setLineWrapMode(QPlainTextEdit::NoWrap);
    return t;
}

}  // namespace

MainWindow::MainWindow(Session& session, QWidget* parent) : QWidget(parent), session_(session) {
    setWindowTitle(QStringLiteral("Ternwick"));
    setAccessibleName(QStringLiteral("Ternwick"));
    replay_ = new FileReplay(session_.pump(), this, &session_.clock());
    log_ = new MessageLog(this);
    receiver_ = new SerialReceiver(session_.pump(), SortedPortNames, this);
    network_ = new NetworkSource(session_.pump(), this);
    BuildControls();
    Connect();

    // The state at the end of start-up: receiver stopped, no replay file chosen, the
    // catalogue's first map current, an empty table, empty text outputs.
    GoCmd->setEnabled(false);
    ReadPause->setEnabled(false);
    Timer1.setInterval(500);
    refresh_.setInterval(100);  // screen rate for the map, the list and the counts
    refresh_.start();
    list_pass_.setInterval(1000);
    list_pass_.start();
    // The live map's trails and first-heard times are kept for the window's whole life, also
    // while the catalogue map's tab is in front: switching back shows them whole.
    session_.SetLiveMapKept(true);
    session_.SetPlotAir(PlotAir->isChecked());
    session_.SetPlotSurf(PlotSurf->isChecked());
    ListSettingsChanged();
    PositionExpiryChanged();
    ReplaySpeed_Changed();
    ShowNetworkState();
    ShowDetails();
    Refresh();
}

MainWindow::~MainWindow() = default;

QSize MainWindow::sizeHint() const {
    // Never more than the screen can show: the controls scroll instead.
    QSize s = WantedSize();
    if (const QScreen* sc = screen()) s = s.boundedTo(sc->availableSize());
    return s;
}

QSize MainWindow::StartSize(QSize wanted, QSize minimum, QSize available) {
    auto one = [](int want, int least, int room) {
        // Nine tenths of the room, all of it where the controls want that much, and never
        // below what the window can be.
        return std::max({room * 9 / 10, std::min(want, room), least});
    };
    return {one(wanted.width(), minimum.width(), available.width()),
            one(wanted.height(), minimum.height(), available.height())};
}

QSize MainWindow::WantedSize() const {
    // Room for every control without scrolling and a live map of a good size; a smaller
    // screen (1024 x 768) gets scrolling controls and a smaller map.
    QSize s = QWidget::sizeHint();
    const QMargins m = layout()->contentsMargins();
    const int spacing = 2 * layout()->spacing();
    s.setHeight(std::max(s.height(), control_column_->sizeHint().height() + StatusText->height() + RxText->height() +
                                         m.top() + m.bottom() + spacing + 8));
    s.setWidth(std::max(s.width(), 1240));
    return s;
}

void MainWindow::BuildControls() {
    // Left: the controls (scrolling on a small screen), then the counts and the trace.
    // Right: the map at 1:1, and the live list taking whatever height is left.
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(6, 6, 6, 6);
    auto* left = new QVBoxLayout;
    left->setSpacing(6);
    auto* controls = new QScrollArea(this);
    control_column_ = BuildControlColumn();
    controls->setWidget(control_column_);
    controls->setFrameShape(QFrame::NoFrame);
    controls->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    controls->setFixedWidth(controls->widget()->width() + controls->verticalScrollBar()->sizeHint().width());
    controls->setMinimumHeight(240);
    left->addWidget(controls, 1);

    StatusText = TextArea(QStringLiteral("Flight counts"), this);
    StatusText->setToolTip(
        QStringLiteral("Aircraft in the flight table, how many have a position, and the APRS reports sent"));
    StatusText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StatusText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StatusText->setFixedHeight(QFontMetrics(StatusText->font()).lineSpacing() * 4 +
                               2 * static_cast<int>(StatusText->document()->documentMargin()) + 6);
    RxText = TextArea(QStringLiteral("Last message"), this);
    RxText->setReadOnly(true);
    RxText->setToolTip(QStringLiteral("The last message evaluated, and what it said"));
    RxText->setFixedHeight(QFontMetrics(RxText->font()).lineSpacing() * 6 +
                           2 * static_cast<int>(RxText->document()->documentMargin()) + 6);
    StatusText->setFixedWidth(controls->width());
    RxText->setFixedWidth(controls->width());
    left->addWidget(StatusText);
    left->addWidget(RxText);
    columns->addLayout(left);

    // The two map views as tabs: the live map (shown first) and the catalogue picture at
    // 1:1, which scrolls when the window is smaller than it.
    auto* right = new QVBoxLayout;
    MapTabs = new QTabWidget(this);
    MapTabs->addTab(BuildLiveMapPage(), QStringLiteral("Live map"));
    auto* catalogue = new QScrollArea(MapTabs);
    Map = new MapWidget(session_.view().Surface(), catalogue);
    catalogue->setWidget(Map);
    catalogue->setWidgetResizable(true);
    catalogue->setFrameShape(QFrame::NoFrame);
    MapTabs->addTab(catalogue, QStringLiteral("Map"));
    MapTabs->setCurrentIndex(0);
    right->addWidget(MapTabs, 3);
    TableText = TextArea(QStringLiteral("Live flight list"), this);
    TableText->setReadOnly(true);
    TableText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TableText->setToolTip(QStringLiteral("The aircraft heard, refreshed while a source runs"));
    TableText->setMinimumHeight(110);
    TableText->viewport()->installEventFilter(this);
    TableText->viewport()->setCursor(Qt::PointingHandCursor);
    right->addWidget(TableText, 1);
    columns->addLayout(right, 1);
}

QWidget* MainWindow::BuildLiveMapPage() {
    auto* page = new QWidget(this);
    // The tab's page is not the map: the name "Live map" belongs to the map itself.
    page->setAccessibleName(QStringLiteral("Live map page"));
    auto* h = new QHBoxLayout(page);
    h->setContentsMargins(0, 0, 0, 0);
    LiveMap = new LiveMapWidget(session_, page);
    h->addWidget(LiveMap, 1);
    auto* side = new QVBoxLayout;
    auto* buttons = new QHBoxLayout;
    HomeButton = Button(QStringLiteral("Home"),
                        QStringLiteral("Centre on the receiver, or on the aircraft heard (key H)"), page);
    FitButton = Button(QStringLiteral("Fit"), QStringLiteral("Show every aircraft with a position (key F)"), page);
    buttons->addWidget(HomeButton);
    buttons->addWidget(FitButton);
    side->addLayout(buttons);
    Details = TextArea(QStringLiteral("Aircraft details"), page);
    Details->setReadOnly(true);
    Details->setToolTip(QStringLiteral("The aircraft selected on the live map or in the live list"));
    Details->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Details->setFixedWidth(QFontMetrics(Details->font()).horizontalAdvance(QString(30, QLatin1Char('M'))));
    side->addWidget(Details, 1);
    h->addLayout(side);
    return page;
}

QWidget* MainWindow::BuildControlColumn() {
    auto* column = new QWidget(this);
    auto* v = new QVBoxLayout(column);
    v->setContentsMargins(0, 0, 0, 0);

    ClearMap = Button(QStringLiteral("Clr Map"), QStringLiteral("Clear the map: load its picture again"), column);

    Frame1 = new QGroupBox(QStringLiteral("Serial Data Source:"), column);
    auto* serial = new QHBoxLayout(Frame1);
    StartStopCom = Button(QStringLiteral("Start COM:"), QStringLiteral("Start or stop the serial receiver"), Frame1);
    Text3 = Box(QStringLiteral("1"), QStringLiteral("Receiver port"),
                QStringLiteral("Receiver port: a number (1 = the first serial port) or a device such as "
                               "/dev/ttyUSB0 or COM3"),
                90, Frame1);
    Blink = new QLabel(Frame1);
    Blink->setFixedSize(20, 20);
    Blink->setAutoFillBackground(true);
    Blink->setAccessibleName(QStringLiteral("Receiver indicator"));
    SetBlink(QColor(128, 128, 128), QStringLiteral("stopped"));
    serial->addWidget(StartStopCom);
    serial->addWidget(Text3);
    serial->addWidget(Blink);
    v->addWidget(Frame1);

    NetFrame = new QGroupBox(QStringLiteral("Network Data Source:"), column);
    auto* net = new QGridLayout(NetFrame);
    NetHost = Box(QStringLiteral("localhost:30005"), QStringLiteral("Network source"),
                  QStringLiteral("host:port of a receiver's network output: dump1090 or readsb give AVR text on "
                                 "port 30002 and Beast binary on 30005"),
                  170, NetFrame);
    ConnectNet = Button(QStringLiteral("Connect"), QStringLiteral("Connect to the receiver, or disconnect"), NetFrame);
    NetBlink = new QLabel(NetFrame);
    NetBlink->setFixedSize(20, 20);
    NetBlink->setAutoFillBackground(true);
    NetBlink->setAccessibleName(QStringLiteral("Network indicator"));
    NetState = new QLabel(NetFrame);
    NetState->setAccessibleName(QStringLiteral("Network state"));
    net->addWidget(NetHost, 0, 0, 1, 3);
    net->addWidget(ConnectNet, 1, 0);
    net->addWidget(NetBlink, 1, 1);
    net->addWidget(NetState, 1, 2);
    net->setColumnStretch(2, 1);
    v->addWidget(NetFrame);

    FileOpt = new QGroupBox(QStringLiteral("File Data Source:"), column);
    auto* file = new QGridLayout(FileOpt);
    const char* modes[3] = {"Read All", "Read Manual", "Read Timer"};
    const char* mode_tips[3] = {"Read the whole file as fast as it goes",
                                "Each press of \"Go\" evaluates the next message",
                                "Replay at the recording's pace times the replay speed"};
    for (int i = 0; i < 3; ++i) {
        FileOption[i] = new QRadioButton(QString::fromLatin1(modes[i]), FileOpt);
        FileOption[i]->setToolTip(QString::fromLatin1(mode_tips[i]));
        file->addWidget(FileOption[i], i, 0);
    }
    FileOption[0]->setChecked(true);
    GoCmd = Button(QStringLiteral("Go"), QStringLiteral("Replay the chosen file"), FileOpt);
    ReadPause = Button(QStringLiteral("||"), QStringLiteral("Pause the replay"), FileOpt);
    ReadPause->setAccessibleDescription(QStringLiteral("Pause or resume the replay"));
    OpenFileCmd = Button(QStringLiteral("Open File"), QStringLiteral("Choose a recorded file to replay"), FileOpt);
    auto* go = new QHBoxLayout;
    go->addWidget(GoCmd);
    go->addWidget(ReadPause);
    file->addLayout(go, 0, 1);
    file->addWidget(OpenFileCmd, 1, 1);
    // "Read Timer": the speed for recordings with time stamps, the rate for those without.
    ReplaySpeed = new QComboBox(FileOpt);
    for (const int x : {1, 2, 5, 10, 30, 60}) ReplaySpeed->addItem(QStringLiteral("%1x").arg(x), double(x));
    ReplaySpeed->setCurrentIndex(3);
    ReplaySpeed->setToolTip(QStringLiteral("How many times faster than recorded \"Read Timer\" replays"));
    auto* speed_label = new QLabel(QStringLiteral("Replay speed"), FileOpt);
    speed_label->setBuddy(ReplaySpeed);
    ReplaySpeed->setAccessibleName(speed_label->text());
    file->addWidget(ReplaySpeed, 2, 1);
    file->addWidget(speed_label, 3, 1);
    ReplayRate = Box(QStringLiteral("200"), QStringLiteral("Messages/s"),
                     QStringLiteral("Messages a second \"Read Timer\" replays a recording without time stamps at"),
                     60, FileOpt);
    auto* rate_label = new QLabel(QStringLiteral("Messages/s"), FileOpt);
    rate_label->setBuddy(ReplayRate);
    auto* rate = new QHBoxLayout;
    rate->addWidget(ReplayRate);
    rate->addWidget(rate_label);
    file->addLayout(rate, 3, 0);
    ReplayTime = new QLabel(QStringLiteral("00:00:00"), FileOpt);
    ReplayTime->setAccessibleName(QStringLiteral("Replay time"));
    ReplayTime->setAccessibleDescription(ReplayTime->text());
    ReplayTime->setToolTip(QStringLiteral("Time since the recording's start"));
    ReplayTime->setFont(TextBoxFont());
    ReplayProgress = new QProgressBar(FileOpt);
    ReplayProgress->setAccessibleName(QStringLiteral("Replay progress"));
    ReplayProgress->setToolTip(QStringLiteral("How much of the file has been read"));
    ReplayProgress->setRange(0, 1000);
    ReplayProgress->setValue(0);
    ReplayProgress->setTextVisible(false);
    ReplayProgress->setMaximumHeight(14);
    file->addWidget(ReplayTime, 4, 0);
    file->addWidget(ReplayProgress, 4, 1);
    v->addWidget(FileOpt);

    Frame2 = new QGroupBox(QStringLiteral("Log Data to File:"), column);
    auto* log = new QHBoxLayout(Frame2);
    LogData = new QCheckBox(QStringLiteral("Log Data"), Frame2);
    LogData->setEnabled(false);  // until a file is chosen
    LogData->setToolTip(QStringLiteral("Write every message from the receiver or the network source to the log file"));
    OpenLogData = Button(QStringLiteral("Open Log File"), QStringLiteral("Choose the file messages are logged to"),
                         Frame2);
    log->addWidget(LogData);
    log->addWidget(OpenLogData);
    v->addWidget(Frame2);

    AprsFrame = new AprsPanel(session_, [this](const QString& text) { ShowMessage(text); }, column);
    v->addWidget(AprsFrame);

    RxFrame = new ReceiverPanel(
        session_, [this](const QString& text) { ShowMessage(text); }, [this] { Refresh(); }, column);
    v->addWidget(RxFrame);

    auto* expiry = new QGridLayout;
    struct Row {
        const char* label;
        const char* value;
        const char* tip;
        QLineEdit** box;
    } rows[3] = {
        {"AirPosExp:", "10", "Seconds after which an airborne position is drawn hollow on the live map",
         &AirPosExpire},
        {"DB. Exp.:", "120", "Seconds after which an aircraft not heard leaves the list", &DbExpire},
        {"SurfPosExp:", "30", "Seconds after which a surface position is drawn hollow on the live map",
         &SurfPosExpire},
    };
    for (int i = 0; i < 3; ++i) {
        const QString label = QString::fromLatin1(rows[i].label);
        auto* l = new QLabel(label, column);
        *rows[i].box = Box(QString::fromLatin1(rows[i].value), label, QString::fromLatin1(rows[i].tip), 60, column);
        l->setBuddy(*rows[i].box);
        expiry->addWidget(l, i, 0);
        expiry->addWidget(*rows[i].box, i, 1, Qt::AlignLeft);
    }
    v->addLayout(expiry);

    auto* checks = new QGridLayout;
    PlotAir = new QCheckBox(QStringLiteral("Plot Air"), column);
    ShowDb = new QCheckBox(QStringLiteral("Live List"), column);
    PlotSurf = new QCheckBox(QStringLiteral("Plot Surface"), column);
    UseKmh = new QCheckBox(QStringLiteral("Use kmh"), column);
    PlotAir->setToolTip(QStringLiteral("Plot (and report) airborne positions"));
    PlotSurf->setToolTip(QStringLiteral("Plot (and report) surface positions"));
    ShowDb->setToolTip(QStringLiteral("Show the live flight list"));
    UseKmh->setToolTip(QStringLiteral("Speeds in the list in km/h instead of knots"));
    for (QCheckBox* c : {PlotAir, ShowDb, PlotSurf}) c->setChecked(true);
    checks->addWidget(PlotAir, 0, 0);
    checks->addWidget(ShowDb, 0, 1);
    checks->addWidget(PlotSurf, 1, 0);
    checks->addWidget(UseKmh, 1, 1);
    v->addLayout(checks);

    MapList = new QComboBox(column);
    MapList->setAccessibleName(QStringLiteral("Map choice"));
    MapList->setToolTip(QStringLiteral("The map shown"));
    const MapTable& maps = session_.view().Catalogue();
    for (size_t k = 1; k < maps.size(); ++k) MapList->addItem(QString::fromStdString(maps[k].MapName));
    // The catalogue map's choice and its "Clr Map" share a row: a row less in the column lets
    // it fit a 1080-pixel screen without scrolling.
    auto* map_row = new QHBoxLayout;
    map_row->addWidget(MapList);
    map_row->addWidget(ClearMap);
    map_row->addStretch();
    v->addLayout(map_row);
    v->addStretch();
    // Rows a little closer than the style's default: every control fits a 1080-pixel screen
    // without scrolling.
    for (QLayout* l : column->findChildren<QLayout*>()) {
        if (auto* grid = qobject_cast<QGridLayout*>(l)) grid->setVerticalSpacing(3);
        else if (auto* box = qobject_cast<QBoxLayout*>(l); box && box->direction() == QBoxLayout::TopToBottom)
            box->setSpacing(3);
        if (qobject_cast<QGroupBox*>(l->parentWidget())) l->setContentsMargins(6, 3, 6, 3);
    }
    column->setFixedWidth(column->sizeHint().width());
    column->adjustSize();
    return column;
}

void MainWindow::Connect() {
    connect(StartStopCom, &QPushButton::clicked, this, &MainWindow::StartStopCom_Click);
    connect(&Timer1, &QTimer::timeout, this, &MainWindow::Timer1_Timer);
    connect(OpenFileCmd, &QPushButton::clicked, this, &MainWindow::OpenFileCmd_Click);
    connect(GoCmd, &QPushButton::clicked, this, &MainWindow::GoCmd_Click);
    connect(ReadPause, &QPushButton::clicked, this, &MainWindow::ReadPause_Click);
    connect(ClearMap, &QPushButton::clicked, this, &MainWindow::ClearMap_Click);
    connect(MapList, &QComboBox::activated, this, &MainWindow::MapList_Click);
    connect(PlotAir, &QCheckBox::toggled, this, [this](bool on) { session_.SetPlotAir(on); });
    connect(PlotSurf, &QCheckBox::toggled, this, [this](bool on) { session_.SetPlotSurf(on); });
    connect(UseKmh, &QCheckBox::toggled, this, &MainWindow::ListSettingsChanged);
    connect(DbExpire, &QLineEdit::textChanged, this, &MainWindow::ListSettingsChanged);
    connect(AirPosExpire, &QLineEdit::textChanged, this, &MainWindow::PositionExpiryChanged);
    connect(SurfPosExpire, &QLineEdit::textChanged, this, &MainWindow::PositionExpiryChanged);
    connect(HomeButton, &QPushButton::clicked, this, [this] { LiveMap->Home(); });
    connect(FitButton, &QPushButton::clicked, this, [this] { LiveMap->Fit(); });
    LiveMap->on_selection = [this](uint32_t) { SelectionChanged(); };
    connect(&refresh_, &QTimer::timeout, this, &MainWindow::Refresh);
    connect(&list_pass_, &QTimer::timeout, this, [this] { session_.ShowTextTable(); });
    connect(receiver_, &SerialReceiver::failed, this, &MainWindow::ReceiverFailed);
    connect(ConnectNet, &QPushButton::clicked, this, &MainWindow::ConnectNet_Click);
    connect(network_, &NetworkSource::stateChanged, this, [this] { ShowNetworkState(); });
    connect(network_, &NetworkSource::receivingChanged, this, [this] { ShowNetworkState(); });
    connect(network_, &NetworkSource::errorOccurred, this, [this](const QString& message) {
        net_error_ = message;  // shown beside the indicator; retrying goes on by itself
        ShowNetworkState();
    });
    connect(replay_, &FileReplay::finished, this, [this] { ReplayEnded({}); });
    connect(replay_, &FileReplay::failed, this, &MainWindow::ReplayEnded);
    for (QRadioButton* option : FileOption) connect(option, &QRadioButton::toggled, this, &MainWindow::FileOption_Click);
    connect(ReplaySpeed, &QComboBox::currentIndexChanged, this, &MainWindow::ReplaySpeed_Changed);
    connect(ReplayRate, &QLineEdit::textChanged, this, &MainWindow::ReplaySpeed_Changed);
    connect(OpenLogData, &QPushButton::clicked, this, &MainWindow::OpenLogData_Click);
    connect(LogData, &QCheckBox::toggled, this, &MainWindow::LogData_Click);
    connect(log_, &MessageLog::failed, this, &MainWindow::LogFailed);
    // While "Live List" is ticked a replay makes the list's expiry pass before every message
    // and after the last byte of every slice, as a pass after every byte would.
    replay_->before_slice = [this] { session_.SetListPerMessage(ShowDb->isChecked()); };
    replay_->after_slice = [this] {
        session_.SetListPerMessage(false);
        if (ShowDb->isChecked()) session_.ShowTextTable();
    };
    session_.SetReportFailure([this](const QString& message) {
        AprsFrame->ShowState();
        ShowMessage(message);
    });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Shut-down: the replay ends, both ports close, the log keeps what was received.
    replay_->Stop();
    log_->Close();
    receiver_->Stop();
    network_->Stop();
    Timer1.stop();
    refresh_.stop();
    list_pass_.stop();
    session_.Shutdown();
    event->accept();
}

}  // namespace ternwick
