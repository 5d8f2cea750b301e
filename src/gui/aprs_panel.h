// The window's "APRS Output:" group: the report port (serial, or a KISS server as host:port)
// with its Start/Stop button, the station, Text, KISS or APRS-IS (with its passcode), the
// rate, the report options and the filters.
#pragma once

#include <QGroupBox>

#include <functional>

#include "aprs/aprs_look.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace ternwick {

class Session;

class AprsPanel : public QGroupBox {
public:
    // `tell` shows a message to the user without holding up the event loop.
    AprsPanel(Session& session, std::function<void(const QString&)> tell, QWidget* parent);

    // Shows the output's state again (caption, what can be edited, the link), e.g. after
    // the output closed itself because the port failed.
    void ShowState();
    // "APRS sent: n, held back: m" (and dropped reports) for the counts box; empty while
    // no output has been opened.
    QString CountsLine() const;

private:
    void StartStopAprs_Click();
    // The station in the boxes, or false with a message naming the refused setting.
    bool ApplyStation();
    void FormatChosen();
    // The APRS-IS server did not verify the login.
    void LoginRefused(const QString& why);
    void OptionsChanged();
    // Tells about filter settings that keep every aircraft back.
    void CheckFilters();
    // "Name:", "Symbol:" and "Comment", in rows of their own below the others.
    void AddLookControls(QGridLayout* g);
    // The symbol box was left or a choice made: a refused text is told and put back.
    void SymbolChosen();
    void ShowLink();

    Session& session_;
    QString path_shown_;
    QString filter_told_;  // the last word about the filters, said once  // the path the last transport chosen put in the box
    std::function<void(const QString&)> tell_;
    QPushButton* StartStopAprs = nullptr;
    QLineEdit* AprsComPort = nullptr;
    QLabel* AprsLink = nullptr;
    QLineEdit* AprsCall = nullptr;
    QLineEdit* AprsDest = nullptr;
    QLineEdit* AprsPath = nullptr;
    QRadioButton* AprsText = nullptr;
    QRadioButton* AprsKiss = nullptr;
    QRadioButton* AprsIs = nullptr;
    QLineEdit* AprsPasscode = nullptr;
    QSpinBox* AprsInterval = nullptr;
    QSpinBox* AprsPerMinute = nullptr;
    QCheckBox* AprsKill = nullptr;
    QCheckBox* AprsRich = nullptr;
    QSpinBox* AprsRadius = nullptr;
    QSpinBox* AprsMinAlt = nullptr;
    QSpinBox* AprsMaxAlt = nullptr;
    QCheckBox* AprsCallsignOnly = nullptr;
    QComboBox* AprsName = nullptr;
    QComboBox* AprsSymbol = nullptr;
    QCheckBox* AprsComment = nullptr;
    AprsSymbolChoice symbol_;  // the symbol last accepted
};

}  // namespace ternwick
