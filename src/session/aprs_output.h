// The report output: the open/close button logic (its caption is the state), the station and
// report settings, the rate rules, and SendAprsObject, which sends a plotted position to the
// serial report port (text or KISS), a KISS server over TCP and a printer.
#pragma once

#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <string>
#include <string_view>

#include "aprs/aprs_filter.h"
#include "aprs/aprs_pacing.h"
#include "aprs/aprs_report.h"
#include "aprs/aprs_station.h"
#include "flights/flight_table.h"
#include "io/comm_port.h"
#include "io/aprs_is_link.h"
#include "io/kiss_tcp_link.h"

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

struct AprsCounts {
    uint64_t sent = 0;       // reports that went out (live and withdrawn objects)
    uint64_t withdrawn = 0;  // of them, objects withdrawn
    AprsHeldBack held;       // positions the rate rules kept off the channel, by rule
    AprsFiltered filtered;   // positions the filters kept back, by rule
    uint64_t dropped = 0;    // reports lost: the link to the TNC down or stalled, the serial port full
    size_t reported = 0;     // aircraft whose object is on the air now
    uint64_t HeldBack() const { return held.Total() + filtered.Total(); }
};

// The counts as the window shows them: sent and held back (and dropped, when any were), then
// by rule, the filters only where set, and the objects on the air; ends in a line break.
QString AprsCountsLine(const AprsCounts& c, const AprsFilter& f);

class AprsOutput {
public:
    // Bytes allowed to wait for the serial report port, about 1.4 s at 115200 baud; a report
    // beyond that is dropped and counted (a port nobody drains never grows a queue).
    static constexpr qint64 kMaxPortPending = 16 * 1024;

    // `clock` stamps the reports; `ports` lists the serial ports that port numbers count;
    // `seconds` is the running count the rate rules measure intervals with.
    explicit AprsOutput(std::function<AprsTime()> clock, std::function<QStringList()> ports = SortedPortNames,
                        std::function<double()> seconds = {});

    // Settings. The station and the formats take effect with the next report.
    void SetStation(const AprsStation& station) { station_ = station; }
    const AprsStation& Station() const { return station_; }
    // What the serial report port carries: text lines (with the "APRS Port Open" greeting)
    // or KISS frames for a TNC. A KISS server over TCP always gets KISS frames.
    void SetPortFormat(AprsFormat format) { port_format_ = format; }
    AprsFormat PortFormat() const { return port_format_; }
    void SetStyle(bool rich, bool kill_expired) {
        rich_ = rich;
        kill_ = kill_expired;
    }
    void SetRate(const AprsRate& rate) { pacer_.SetRate(rate); }
    const AprsRate& Rate() const { return pacer_.rate(); }
    // Which aircraft are reported; a change applies from each aircraft's next position.
    void SetFilter(const AprsFilter& filter) { filter_ = filter; }
    const AprsFilter& Filter() const { return filter_; }
    // The receiver's position, which the radius is measured from.
    void SetReceiver(const std::optional<geo::LatLon>& receiver) { receiver_ = receiver; }
    // How objects read: name, symbol, comment. Takes effect with each aircraft's next report;
    // an aircraft whose name changes has its old object withdrawn first (in a slot of its
    // own), then the new one sent, so it never has two objects on the air.
    void SetLook(const AprsLook& look) { look_ = look; }
    const AprsLook& Look() const { return look_; }

    // StartStopAprs_Click with the text of the port box: a serial port (number or device
    // name) or a KISS server as host:port, which is connected in the background and kept
    // connected. Opening a serial port for text sends "APRS Port Open" and a carriage
    // return. Returns an empty text, or a message for the user when the port cannot be
    // opened or written; the caption is then back on "Start COM:".
    QString StartStopAprs_Click(std::string_view port_text);
    // Reports go to an APRS-IS server instead (the port box then holds host or host:port),
    // logged in with the station's callsign and `passcode`, always with the path TCPIP*.
    void SetAprsIs(bool on, const std::string& passcode = {}) {
        aprs_is_ = on;
        passcode_ = passcode;
    }
    bool AprsIs() const { return aprs_is_; }
    // Headless: logs in to an APRS-IS server now (waiting up to timeout_ms for each step).
    // False with a message that tells a login the server did not verify (a wrong passcode)
    // apart from a server that cannot be reached.
    bool ConnectAprsIs(std::string_view server, int timeout_ms, QString& error);
    // The server refused the login: the output is closed (the caption says so).
    void LoginRefused() { Fail({}); }
    // Headless: a KISS server as host:port, connected now (waiting up to timeout_ms).
    bool ConnectLink(std::string_view host_port, int timeout_ms, QString& error);
    // Headless, at the end: waits until every frame has left over the link, then closes it.
    bool FinishLink(int timeout_ms, QString& error);

    // Reports also go to `printer` (the headless replay prints them), in `format`.
    void SetPrinter(std::function<void(const std::string&)> printer, AprsFormat format = AprsFormat::Text) {
        printer_ = std::move(printer);
        print_format_ = format;
    }

    // The report step of position plotting: nothing while no output is open; else the
    // aircraft waits for a slot (at once when the rate rules allow), and what goes out
    // goes to every open output. A failing serial write closes the port and returns the
    // message. A position outside the filters is held back; a reported aircraft that left
    // them is withdrawn as if it had left the table (once), and comes back as a new report
    // when it is inside again.
    QString SendAprsObject(const FlightTable& db, int16_t dbpos);
    // Hands out the slots that are free now: withdrawals first, then the waiting aircraft
    // whose last report is oldest, each with its newest position in `db`. Runs after every
    // plotted position and message, and on the window's timer.
    QString Dispatch(const FlightTable& db) { return Dispatch(db, kNoKey, -1); }
    // Whether Dispatch has anything to hand a slot to: asked after every message, and in
    // most runs nothing is waiting.
    bool Waiting() const { return !withdrawals_.empty() || pacer_.Waiting() != 0; }
    // An aircraft leaves the flight table: if it was reported and "Kill expired" is on,
    // one report withdraws its object at its last position (as soon as a slot is free).
    QString AircraftLeft(const DbRecord& e);

    const std::string& Caption() const { return button_.Caption(); }
    // The serial port is open or the link to a KISS or APRS-IS server is kept up.
    bool IsOpen() const { return port_.IsOpen() || link_.IsStarted() || is_link_.IsStarted(); }
    // Program exit: close the port and the links if open.
    void Close() {
        ClosePort();
        link_.Stop();
        is_link_.Stop();
    }
    CommPort& Port() { return port_; }
    KissTcpLink& Link() { return link_; }
    AprsIsLink& IsLink() { return is_link_; }
    AprsCounts Counts() const;
    // Whether any output has been opened in this run (the window shows the counts then).
    bool Used() const { return used_ || printer_ != nullptr; }

private:
    QString Fail(const QString& message);
    // Writes to the serial port; a report counts as sent once the port has written it.
    bool WritePort(const std::string& bytes, bool counted, QString& error);
    void PortWritten(qint64 bytes);
    // Closes the port: reports it never wrote count as dropped.
    void ClosePort();
    // Sends one report to every open output; false when none took it.
    bool Deliver(const DbRecord& e, bool killed, const std::string& name, QString& error);
    // Whether any output takes a report now (a headless APRS-IS link may be made again here).
    bool CanSend() { return printer_ || port_.IsOpen() || link_.IsConnected() || is_link_.Poll(); }
    double Now() const { return seconds_ ? seconds_() : 0.0; }
    // Dispatch, knowing where the aircraft `plotted_key` that was just plotted is.
    QString Dispatch(const FlightTable& db, uint32_t plotted_key, int16_t plotted);
    static constexpr uint32_t kNoKey = 0xFFFFFFFEu;
    // Sends the withdrawals that have a slot now.
    QString SendWithdrawals(double now);
    // The object of `key` leaves the air: withdrawn when "Kill expired" is on.
    QString Withdraw(const DbRecord& e, uint32_t key, double now);

    // An object on the air, to be withdrawn: its aircraft left, or it was renamed.
    struct Withdrawal {
        DbRecord e;
        std::string name;  // the object's name on the air
    };

    std::function<AprsTime()> clock_;
    std::function<QStringList()> ports_;
    std::function<double()> seconds_;
    AprsStation station_;
    AprsFormat port_format_ = AprsFormat::Text;
    AprsFormat print_format_ = AprsFormat::Text;
    bool rich_ = false;
    bool kill_ = false;
    AprsPacer pacer_;
    AprsFilter filter_;
    std::optional<geo::LatLon> receiver_;
    AprsCounts counts_;
    AprsLook look_;
    std::unordered_map<uint32_t, std::string> on_air_;  // aircraft with a live object, by its name
    std::unordered_map<std::string, uint32_t> names_on_air_;  // the same, by name
    std::deque<Withdrawal> withdrawals_;  // waiting for a slot, oldest first
    bool used_ = false;
    ReportButton button_;
    CommPort port_;
    // What waits in the port's buffer, in order: each write's size, and whether it is
    // already counted (the greeting, or a report another output took).
    std::deque<std::pair<qint64, bool>> port_queue_;
    qint64 port_written_ = 0;
    KissTcpLink link_;
    AprsIsLink is_link_;
    bool aprs_is_ = false;
    std::string passcode_;
    std::function<void(const std::string&)> printer_;
};

}  // namespace ternwick
