#include "aprs_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "aprs/aprs_filter.h"
#include "aprs/aprs_pacing.h"
#include "aprs/aprs_station.h"
#include "session/session.h"

namespace ternwick {

namespace {

QLineEdit* Box(const QString& text, const QString& name, const QString& tip, int width, QWidget* parent) {
    auto* e = new QLineEdit(text, parent);
    e->setAccessibleName(name);
    e->setToolTip(tip);
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPointSize(9);
    e->setFont(f);
    e->setFixedWidth(width);
    return e;
}

QSpinBox* Spin(const QString& name, int max, const QString& tip, QWidget* parent) {
    auto* s = new QSpinBox(parent);
    s->setRange(0, max);
    s->setAccessibleName(name);
    s->setToolTip(tip);
    return s;
}

// A filter setting whose lowest value means "no filter".
QSpinBox* FilterSpin(const QString& name, int max, int step, const QString& unit, const QString& tip, QWidget* parent) {
    QSpinBox* s = Spin(name, max, tip, parent);
    s->setSingleStep(step);
    s->setSuffix(unit);
    s->setSpecialValueText(QStringLiteral("off"));
    return s;
}

QLabel* Label(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

QString PathText(AprsFormat format) { return QString::fromStdString(Ax25PathText(DefaultAprsPath(format))); }

}  // namespace

AprsPanel::AprsPanel(Session& session, std::function<void(const QString&)> tell, QWidget* parent)
    : QGroupBox(QStringLiteral("APRS Output:"), parent), session_(session), tell_(std::move(tell)) {
    StartStopAprs = new QPushButton(QStringLiteral("Start COM:"), this);
    StartStopAprs->setToolTip(QStringLiteral("Open or close the APRS report port"));
    StartStopAprs->setAutoDefault(false);
    AprsComPort = Box(QStringLiteral("1"), QStringLiteral("APRS port"),
                      QStringLiteral("APRS report port: a serial port's number or device name, or host:port "
                                     "of a KISS server (direwolf: localhost:8001)"),
                      130, this);
    AprsLink = new QLabel(this);
    AprsLink->setAccessibleName(QStringLiteral("APRS link"));

    const AprsStation station;
    AprsCall = Box(QString::fromStdString(Ax25AddressText(station.source)), QStringLiteral("APRS callsign"),
                   QStringLiteral("Your callsign, with an SSID if you like (N0CALL-11): the reports go out "
                                  "under it"),
                   90, this);
    AprsDest = Box(QString::fromStdString(Ax25AddressText(station.destination)), QStringLiteral("APRS destination"),
                   QStringLiteral("Destination address (APZ001: experimental software)"), 90, this);
    AprsPath = Box(PathText(AprsFormat::Text), QStringLiteral("APRS path"),
                   QStringLiteral("Digipeater path, up to 8 entries separated by commas: WIDE1-1 for a "
                                  "packet on the air, TCPIP* for text lines; empty: none"),
                   200, this);

    AprsText = new QRadioButton(QStringLiteral("Text"), this);
    AprsText->setToolTip(QStringLiteral("Text lines (TNC2 form) on the serial port"));
    AprsKiss = new QRadioButton(QStringLiteral("KISS"), this);
    AprsKiss->setToolTip(QStringLiteral("KISS frames: to a TNC on the serial port, or to a KISS server (host:port)"));
    AprsIs = new QRadioButton(QStringLiteral("APRS-IS"), this);
    AprsIs->setToolTip(QStringLiteral("Text lines to an APRS-IS server: type host or host:port into the port box "
                                      "(rotate.aprs2.net, port 14580 if none) and your passcode"));
    AprsPasscode = Box(QString(), QStringLiteral("APRS-IS passcode"),
                       QStringLiteral("The APRS-IS passcode of your callsign, as the APRS-IS operators give it; "
                                      "without the right one the server sends nothing on"),
                       70, this);
    AprsText->setChecked(true);
    AprsInterval = Spin(QStringLiteral("Min. s"), kMaxAprsInterval,
                        QStringLiteral("At least this many seconds between two reports of one aircraft "
                                       "(0: every position); twice as long while it has hardly moved"),
                        this);
    AprsPerMinute = Spin(QStringLiteral("Max. per min."), kMaxAprsPerMinute,
                         QStringLiteral("At most this many reports in any minute for the whole station, "
                                        "withdrawals included (0: no limit); the aircraft reported longest "
                                        "ago goes next. A 1200-baud channel carries about 60 packets a "
                                        "minute for everyone on it"),
                         this);
    AprsKill = new QCheckBox(QStringLiteral("Kill expired"), this);
    AprsKill->setToolTip(QStringLiteral("Withdraw the object of a reported aircraft when it leaves the list"));
    AprsRich = new QCheckBox(QStringLiteral("Course/alt"), this);
    AprsRich->setToolTip(QStringLiteral("Reports with hundredths of minutes, course and speed, and altitude"));
    AprsRadius = FilterSpin(QStringLiteral("APRS radius"), static_cast<int>(kMaxAprsRadiusNm), 10, QStringLiteral(" NM"),
                            QStringLiteral("Only aircraft within this many nautical miles of the receiver (its "
                                           "\"Position:\"); without a receiver position none is reported"),
                            this);
    AprsMinAlt = FilterSpin(QStringLiteral("APRS min. altitude"), kMaxAprsFeet, 1000, QStringLiteral(" ft"),
                            QStringLiteral("Only aircraft at or above this altitude; on the surface counts as 0 ft, "
                                           "and one whose altitude is not known yet waits until it is"),
                            this);
    AprsMaxAlt = FilterSpin(QStringLiteral("APRS max. altitude"), kMaxAprsFeet, 1000, QStringLiteral(" ft"),
                            QStringLiteral("Only aircraft at or below this altitude; on the surface counts as 0 ft, "
                                           "and one whose altitude is not known yet waits until it is"),
                            this);
    AprsCallsignOnly = new QCheckBox(QStringLiteral("Callsign only"), this);
    AprsCallsignOnly->setAccessibleName(QStringLiteral("APRS callsign only"));
    AprsCallsignOnly->setToolTip(QStringLiteral("Only aircraft whose callsign has been heard"));

    auto* g = new QGridLayout(this);
    g->addWidget(StartStopAprs, 0, 0);
    g->addWidget(AprsComPort, 0, 1, 1, 2);
    g->addWidget(AprsLink, 0, 3);
    g->addWidget(Label(QStringLiteral("Call:"), AprsCall, this), 1, 0);
    g->addWidget(AprsCall, 1, 1);
    g->addWidget(Label(QStringLiteral("Dest:"), AprsDest, this), 1, 2);
    g->addWidget(AprsDest, 1, 3);
    g->addWidget(Label(QStringLiteral("Path:"), AprsPath, this), 2, 0);
    g->addWidget(AprsPath, 2, 1, 1, 3);
    g->addWidget(AprsText, 3, 0);
    g->addWidget(AprsKiss, 3, 1);
    g->addWidget(AprsIs, 3, 2);
    g->addWidget(Label(QStringLiteral("Pass:"), AprsPasscode, this), 4, 0);
    g->addWidget(AprsPasscode, 4, 1);
    g->addWidget(Label(QStringLiteral("Min. s"), AprsInterval, this), 4, 2);
    g->addWidget(AprsInterval, 4, 3);
    g->addWidget(AprsKill, 5, 0);
    g->addWidget(AprsRich, 5, 1);
    g->addWidget(Label(QStringLiteral("Max/min"), AprsPerMinute, this), 5, 2);
    g->addWidget(AprsPerMinute, 5, 3);
    g->addWidget(Label(QStringLiteral("Radius:"), AprsRadius, this), 6, 0);
    g->addWidget(AprsRadius, 6, 1);
    g->addWidget(Label(QStringLiteral("Min. alt:"), AprsMinAlt, this), 6, 2);
    g->addWidget(AprsMinAlt, 6, 3);
    g->addWidget(AprsCallsignOnly, 7, 0, 1, 2);
    g->addWidget(Label(QStringLiteral("Max. alt:"), AprsMaxAlt, this), 7, 2);
    g->addWidget(AprsMaxAlt, 7, 3);

    AddLookControls(g);

    connect(StartStopAprs, &QPushButton::clicked, this, &AprsPanel::StartStopAprs_Click);
    path_shown_ = AprsPath->text();
    for (QRadioButton* r : {AprsText, AprsKiss, AprsIs}) connect(r, &QRadioButton::toggled, this, &AprsPanel::FormatChosen);
    for (QSpinBox* s : {AprsInterval, AprsPerMinute, AprsRadius, AprsMinAlt, AprsMaxAlt})
        connect(s, &QSpinBox::valueChanged, this, &AprsPanel::OptionsChanged);
    for (QCheckBox* c : {AprsKill, AprsRich, AprsCallsignOnly})
        connect(c, &QCheckBox::toggled, this, &AprsPanel::OptionsChanged);
    // Told once the value is typed in, not at every digit.
    for (QSpinBox* s : {AprsRadius, AprsMinAlt, AprsMaxAlt})
        connect(s, &QSpinBox::editingFinished, this, &AprsPanel::CheckFilters);
    connect(&session_.aprs().Link(), &KissTcpLink::stateChanged, this, &AprsPanel::ShowLink);
    connect(&session_.aprs().IsLink(), &AprsIsLink::stateChanged, this, &AprsPanel::ShowLink);
    connect(&session_.aprs().IsLink(), &AprsIsLink::refused, this, &AprsPanel::LoginRefused);
    OptionsChanged();
    ShowState();
}

void AprsPanel::AddLookControls(QGridLayout* g) {
    AprsName = new QComboBox(this);
    AprsName->addItems({QStringLiteral("address"), QStringLiteral("flight")});
    AprsName->setAccessibleName(QStringLiteral("APRS object name"));
    AprsName->setToolTip(QStringLiteral("Name each object by the aircraft's address, or by its callsign once "
                                        "known; a renamed object is withdrawn before the new one is sent"));
    AprsSymbol = new QComboBox(this);
    AprsSymbol->setEditable(true);
    AprsSymbol->addItems({QString::fromStdString(AprsSymbolText(symbol_)), QStringLiteral("category")});
    AprsSymbol->setAccessibleName(QStringLiteral("APRS symbol"));
    AprsSymbol->setToolTip(QStringLiteral("The symbol table and code for every aircraft (/^ large aircraft), or "
                                          "\"category\": light aircraft, airliner, helicopter, glider, balloon, "
                                          "UAV by what the aircraft announces"));
    AprsComment = new QCheckBox(QStringLiteral("Comment"), this);
    AprsComment->setToolTip(QStringLiteral("Reports as with Course/alt, with EMERGENCY, squawk, climb, the extra "
                                           "position digit (!DAO!), flight and airline in the comment"));
    const int row = g->rowCount();
    g->addWidget(Label(QStringLiteral("Name:"), AprsName, this), row, 0);
    g->addWidget(AprsName, row, 1);
    g->addWidget(Label(QStringLiteral("Symbol:"), AprsSymbol, this), row, 2);
    g->addWidget(AprsSymbol, row, 3);
    g->addWidget(AprsComment, row + 1, 0, 1, 2);
    connect(AprsName, &QComboBox::currentIndexChanged, this, &AprsPanel::OptionsChanged);
    connect(AprsComment, &QCheckBox::toggled, this, &AprsPanel::OptionsChanged);
    connect(AprsSymbol, &QComboBox::activated, this, &AprsPanel::SymbolChosen);
    connect(AprsSymbol->lineEdit(), &QLineEdit::editingFinished, this, &AprsPanel::SymbolChosen);
}

void AprsPanel::SymbolChosen() {
    const QString text = AprsSymbol->currentText().trimmed();
    AprsSymbolChoice choice;
    const std::string reason = ParseAprsSymbol(text.toStdString(), choice);
    if (!reason.empty()) {
        AprsSymbol->setCurrentText(QString::fromStdString(AprsSymbolText(symbol_)));
        tell_(QStringLiteral("%1 \"%2\": %3").arg(AprsSymbol->accessibleName(), text, QString::fromStdString(reason)));
        return;
    }
    symbol_ = choice;
    OptionsChanged();
}

void AprsPanel::ShowState() {
    AprsOutput& out = session_.aprs();
    StartStopAprs->setText(QString::fromStdString(out.Caption()));
    // What is sent is what the boxes show: the station and the port wait while it is open.
    const bool open = out.IsOpen();
    for (QWidget* w : std::initializer_list<QWidget*>{AprsComPort, AprsCall, AprsDest, AprsPath, AprsText, AprsKiss,
                                                      AprsIs, AprsPasscode})
        w->setEnabled(!open);
    AprsPasscode->setEnabled(!open && AprsIs->isChecked());
    ShowLink();
}

void AprsPanel::ShowLink() {
    const KissTcpLink& link = session_.aprs().Link();
    const AprsIsLink& is = session_.aprs().IsLink();
    const bool to_is = is.IsStarted() || !is.State().isEmpty();
    QString state = to_is ? is.State() : link.State();
    const QString error = to_is ? is.LastError() : link.LastError();
    const bool started = to_is || link.IsStarted();
    if (state == QLatin1String("connecting") || state == QLatin1String("logging in"))
        state += QChar(0x2026);  // "connecting…"
    AprsLink->setText(state);
    AprsLink->setAccessibleDescription(state);
    AprsLink->setToolTip(started ? (to_is ? is.Target() : link.Target()) +
                                       (error.isEmpty() ? QString() : QStringLiteral(": ") + error)
                                 : QString());
}

void AprsPanel::LoginRefused(const QString& why) {
    session_.aprs().LoginRefused();
    ShowState();
    tell_(why + QStringLiteral("\n\nCheck the callsign in \"Call:\" and the passcode in \"Pass:\"."));
}

QString AprsPanel::CountsLine() const {
    const AprsOutput& out = session_.aprs();
    if (!out.Used()) return {};
    return AprsCountsLine(out.Counts(), out.Filter());
}

bool AprsPanel::ApplyStation() {
    AprsStation station;
    std::vector<Ax25Address> path;
    const std::pair<QLineEdit*, std::string> checks[] = {
        {AprsCall, ParseAx25Address(AprsCall->text().toStdString(), false, station.source)},
        {AprsDest, ParseAx25Address(AprsDest->text().toStdString(), false, station.destination)},
        {AprsPath, ParseAx25Path(AprsPath->text().toStdString(), path)},
    };
    for (const auto& [box, reason] : checks) {
        if (reason.empty()) continue;
        tell_(QStringLiteral("%1 \"%2\": %3").arg(box->accessibleName(), box->text(), QString::fromStdString(reason)));
        box->setFocus();
        return false;
    }
    station.path = path;
    session_.aprs().SetStation(station);
    session_.aprs().SetPortFormat(AprsKiss->isChecked() ? AprsFormat::Kiss : AprsFormat::Text);
    session_.aprs().SetAprsIs(AprsIs->isChecked(), AprsPasscode->text().toStdString());
    return true;
}

void AprsPanel::StartStopAprs_Click() {
    AprsOutput& out = session_.aprs();
    if (out.Caption() == ReportButton::kStart && !ApplyStation()) return;
    const QString error = out.StartStopAprs_Click(AprsComPort->text().toStdString());
    ShowState();
    if (!error.isEmpty() && AprsIs->isChecked())
        tell_(error + QStringLiteral("\n\nWith APRS-IS the port box holds the server, host or host:port "
                                     "(rotate.aprs2.net, port 14580 if none), and \"Pass:\" your passcode."));
    else if (!error.isEmpty())
        tell_(error + QStringLiteral("\n\nCheck the APRS port: a number (1 = the first serial port), a device "
                                     "name, or host:port of a KISS server such as direwolf (localhost:8001)."));
}

void AprsPanel::FormatChosen() {
    // The path that goes with the transport, unless the user typed one of their own
    // (APRS-IS always gets TCPIP*).
    const QString now = PathText(AprsKiss->isChecked() ? AprsFormat::Kiss : AprsFormat::Text);
    if (AprsPath->text().trimmed() == path_shown_) AprsPath->setText(now);
    path_shown_ = now;
    AprsPasscode->setEnabled(AprsIs->isChecked() && !session_.aprs().IsOpen());
}

void AprsPanel::OptionsChanged() {
    // The rate and the report options apply at once, also while the output is open.
    session_.aprs().SetRate({AprsInterval->value(), AprsPerMinute->value()});
    session_.aprs().SetStyle(AprsRich->isChecked(), AprsKill->isChecked());
    session_.aprs().SetFilter({static_cast<double>(AprsRadius->value()), AprsMinAlt->value(), AprsMaxAlt->value(),
                               AprsCallsignOnly->isChecked()});
    session_.aprs().SetLook({.naming = AprsName->currentIndex() == 1 ? AprsNaming::Flight : AprsNaming::Address,
                             .symbol = symbol_,
                             .comment = AprsComment->isChecked()});
}

void AprsPanel::CheckFilters() {
    const AprsFilter& f = session_.aprs().Filter();
    QString word;
    if (f.radius_nm > 0.0 && !session_.receiver())
        word = QStringLiteral("APRS radius: the radius is measured from the receiver, and no receiver position is "
                              "set: no aircraft is reported until one is typed into \"Position:\".");
    else if (f.min_feet > 0 && f.max_feet > 0 && f.min_feet > f.max_feet)
        word = QStringLiteral("APRS min. altitude %1 ft is above APRS max. altitude %2 ft: no aircraft is reported.")
                   .arg(f.min_feet)
                   .arg(f.max_feet);
    // Leaving the box again says nothing new.
    if (!word.isEmpty() && word != filter_told_) tell_(word);
    filter_told_ = word;
}

}  // namespace ternwick
