// The report output: the open/close button logic (its caption is the state) and
// SendAprsObject, which writes one report line per plotted position while the port is open.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "aprs/aprs_report.h"
#include "io/comm_port.h"
#include "flights/flight_table.h"

namespace ternwick {

// The StartStopAprs caption, which doubles as the open/closed indicator.
class ReportButton {
public:
    static constexpr char kStart[] = "Start COM:";
    static constexpr char kStop[] = "Stop COM:";

    const std::string& Caption() const { return caption_; }
    // A click: true when the caption was exactly "Start COM:" (open the port); the caption
    // flips either way.
    bool Click();
    void ShowClosed() { caption_ = kStart; }

private:
    std::string caption_ = kStart;
};

class AprsOutput {
public:
    // `clock` stamps the reports; `ports` lists the serial ports that port numbers count.
    explicit AprsOutput(std::function<AprsTime()> clock,
                        std::function<QStringList()> ports = SortedPortNames);

    // StartStopAprs_Click with the text of the port box. Opening sends "APRS Port Open" and
    // a carriage return. Returns an empty text, or a message for the user when the port
    // cannot be opened or written; the caption is then back on "Start COM:".
    QString StartStopAprs_Click(std::string_view port_text);

    // The report step of position plotting: nothing while the port is closed, else one
    // report line for entry dbpos. A failing write closes the port and returns the message.
    QString SendAprsObject(const FlightTable& db, int16_t dbpos);

    const std::string& Caption() const { return button_.Caption(); }
    bool IsOpen() const { return port_.IsOpen(); }
    // Program exit: close the port if it is open.
    void Close() { port_.Close(); }
    CommPort& Port() { return port_; }

private:
    QString Fail(const QString& message);

    std::function<AprsTime()> clock_;
    std::function<QStringList()> ports_;
    ReportButton button_;
    CommPort port_;
};

}  // namespace ternwick
