#include "aprs_output.h"

namespace ternwick {

bool ReportButton::Click() {
    if (caption_ == kStart) {
        caption_ = kStop;
        return true;
    }
    caption_ = kStart;
    return false;
}

AprsOutput::AprsOutput(std::function<AprsTime()> clock, std::function<QStringList()> ports,
                       std::function<double()> seconds)
    : clock_(std::move(clock)), ports_(std::move(ports)), seconds_(std::move(seconds)) {
    QObject::connect(&port_.Port(), &QSerialPort::bytesWritten, [this](qint64 n) { PortWritten(n); });
}

bool AprsOutput::WritePort(const std::string& bytes, bool counted, QString& error) {
    if (!port_.Write(bytes, error)) return false;
    port_queue_.emplace_back(static_cast<qint64>(bytes.size()), counted);
    return true;
}

void AprsOutput::PortWritten(qint64 bytes) {
    port_written_ += bytes;
    while (!port_queue_.empty() && port_written_ >= port_queue_.front().first) {
        port_written_ -= port_queue_.front().first;
        if (!port_queue_.front().second) ++counts_.sent;
        port_queue_.pop_front();
    }
}

void AprsOutput::ClosePort() {
    port_.Close();  // lets what it can leave first
    for (const auto& [size, counted] : port_queue_)
        if (!counted) ++counts_.dropped;
    port_queue_.clear();
    port_written_ = 0;
}

QString AprsOutput::Fail(const QString& message) {
    ClosePort();
    link_.Stop();
    is_link_.Stop();
    button_.ShowClosed();
    return message;
}

QString AprsOutput::StartStopAprs_Click(std::string_view port_text) {
    const bool open = button_.Click();
    ClosePort();
    link_.Stop();
    is_link_.Stop();
    if (!open) return {};

    QString error;
    if (aprs_is_) {
        const QString bad = AprsIsLink::CheckPasscode(passcode_);
        if (!bad.isEmpty()) return Fail(bad);
        QString host;
        quint16 tcp_port = 0;
        if (!AprsIsLink::ParseServer(port_text, host, tcp_port, error)) return Fail(error);
        is_link_.Start(host, tcp_port, AprsIsLink::LoginLine(Ax25AddressText(station_.source), passcode_));
        used_ = true;
        return {};
    }
    if (KissTcpLink::LooksLikeHostPort(port_text)) {
        // Text lines would only be thrown away by a KISS server: say so rather than send
        // nothing it can use.
        if (port_format_ != AprsFormat::Kiss)
            return Fail(QStringLiteral("APRS port %1 is a network KISS server: choose KISS to send to it")
                            .arg(QString::fromUtf8(port_text.data(), static_cast<qsizetype>(port_text.size()))));
        QString host;
        quint16 tcp_port = 0;
        if (!KissTcpLink::ParseHostPort(port_text, host, tcp_port, error)) return Fail(error);
        link_.Start(host, tcp_port);
        used_ = true;
        return {};
    }
    const QString name = PortNameFromText(port_text, ports_ ? ports_() : QStringList{}, error);
    if (name.isEmpty()) return Fail(error.isEmpty() ? QStringLiteral("No serial port given") : error);
    if (!port_.Open(name, error)) return Fail(error);
    used_ = true;
    // A KISS TNC would take the greeting for a garbled frame; only a text port gets it.
    if (port_format_ == AprsFormat::Text && !WritePort(kAprsPortOpenText, true, error)) return Fail(error);
    return {};
}

bool AprsOutput::ConnectLink(std::string_view host_port, int timeout_ms, QString& error) {
    QString host;
    quint16 tcp_port = 0;
    if (!KissTcpLink::ParseHostPort(host_port, host, tcp_port, error)) return false;
    if (!link_.ConnectNow(host, tcp_port, timeout_ms, error)) return false;
    used_ = true;
    return true;
}

bool AprsOutput::ConnectAprsIs(std::string_view server, int timeout_ms, QString& error) {
    error = AprsIsLink::CheckPasscode(passcode_);
    if (!error.isEmpty()) return false;
    QString host;
    quint16 tcp_port = 0;
    if (!AprsIsLink::ParseServer(server, host, tcp_port, error)) return false;
    const std::string login = AprsIsLink::LoginLine(Ax25AddressText(station_.source), passcode_);
    if (is_link_.ConnectNow(host, tcp_port, login, timeout_ms, error) != AprsIsLink::Result::Verified) return false;
    aprs_is_ = true;
    used_ = true;
    return true;
}

bool AprsOutput::FinishLink(int timeout_ms, QString& error) {
    if (is_link_.IsStarted() && !is_link_.Flush(timeout_ms, error)) return false;
    if (!link_.IsStarted()) return true;
    return link_.Flush(timeout_ms, error);
}

bool AprsOutput::Deliver(const DbRecord& e, bool killed, const std::string& name, QString& error) {
    const AprsSymbol symbol = SymbolFor(e, look_.symbol);
    const AprsReportStyle style{
        .rich = rich_, .killed = killed, .comment = look_.comment, .table = symbol.table, .code = symbol.code};
    const std::string info = AprsObjectInfo(e, clock_(), style, name);
    // Each form is built once, only if an output wants it.
    std::string text, kiss, is_line;
    auto form = [&](AprsFormat f) -> const std::string& {
        if (f == AprsFormat::Text) {
            if (text.empty()) text = Tnc2Header(station_, AprsFormat::Text) + info + '\r';
            return text;
        }
        if (kiss.empty()) kiss = KissDataFrame(Ax25UiFrame(station_, station_.PathFor(AprsFormat::Kiss), info));
        return kiss;
    };
    bool went = false;  // an output other than the serial port took it
    if (printer_) {
        printer_(form(print_format_));
        went = true;
    }
    if (link_.IsStarted()) {
        if (link_.Send(form(AprsFormat::Kiss))) went = true;
        else ++counts_.dropped;
    }
    if (is_link_.IsStarted()) {
        // APRS-IS takes lines ended by CR LF, from a station on the Internet: TCPIP*.
        AprsStation station = station_;
        station.path = DefaultAprsPath(AprsFormat::Text);
        is_line = Tnc2Header(station, AprsFormat::Text) + info + "\r\n";
        if (is_link_.Send(is_line)) went = true;
        else ++counts_.dropped;
    }
    bool queued = false;  // the serial port took it; it counts once written
    if (port_.IsOpen()) {
        const std::string& bytes = form(port_format_);
        if (port_.Port().bytesToWrite() + static_cast<qint64>(bytes.size()) > kMaxPortPending) ++counts_.dropped;
        else if (!WritePort(bytes, went, error)) error = Fail(error);
        else queued = true;
    }
    if (went) ++counts_.sent;
    return went || queued;
}

AprsCounts AprsOutput::Counts() const {
    AprsCounts c = counts_;
    c.held = pacer_.HeldBack(Now());
    c.reported = on_air_.size();
    return c;
}

QString AprsOutput::SendAprsObject(const FlightTable& db, int16_t dbpos) {
    if (!printer_ && !IsOpen()) return {};
    const DbRecord& e = db(dbpos);
    const uint32_t key = AprsAddressKey(e.Icao);
    if (const AprsFilterRule rule = AprsFilterCheck(filter_, e, receiver_); rule != AprsFilterRule::Pass) {
        counts_.filtered.Count(rule);
        const double now = Now();
        pacer_.Drop(key, now);
        const QString error = Withdraw(e, key, now);
        return error.isEmpty() ? Dispatch(db) : error;
    }
    if (!CanSend()) {
        // Only a link that is down: nothing is queued for later.
        ++counts_.dropped;
        return {};
    }
    pacer_.Want(key, {e.Lat, e.Lon, e.Altitude, e.Track}, Now());
    return Dispatch(db, key, dbpos);
}

QString AprsOutput::SendWithdrawals(double now) {
    QString error;
    while (!withdrawals_.empty() && CanSend() && pacer_.SlotFree(now)) {
        const Withdrawal w = std::move(withdrawals_.front());
        withdrawals_.pop_front();
        pacer_.TakeSlot(now);
        if (Deliver(w.e, true, w.name, error)) ++counts_.withdrawn;
    }
    return error;
}

QString AprsOutput::Dispatch(const FlightTable& db, uint32_t plotted_key, int16_t plotted) {
    if ((withdrawals_.empty() && pacer_.Waiting() == 0) || !CanSend()) return {};
    const double now = Now();
    QString error = SendWithdrawals(now);
    // A withdrawal still waiting goes before any position.
    if (!withdrawals_.empty()) return error;
    while (CanSend()) {
        const std::optional<uint32_t> key = pacer_.Choose(now);
        if (!key) break;
        const int16_t i = *key == plotted_key ? plotted : db.IcaoDbPointer(AprsAddressText(*key));
        if (i < 0) {
            pacer_.Forget(*key, now);  // gone without a word: nothing to send
            continue;
        }
        const DbRecord& e = db(i);
        std::string name = AprsObjectName(e, look_.naming);
        // Two aircraft calling themselves alike (a reused or mistyped callsign) would share one
        // object that jumps between them: the one that comes second keeps its address.
        if (const auto other = names_on_air_.find(name); other != names_on_air_.end() && other->second != *key)
            name = AprsObjectName(e, AprsNaming::Address);
        if (const auto air = on_air_.find(*key); air != on_air_.end() && air->second != name) {
            // Renamed (a callsign became known, or changed): the old object goes first, in
            // this slot; the aircraft keeps waiting and goes under its new name in a later
            // one. Never two objects for one aircraft.
            withdrawals_.push_back({e, air->second});
            names_on_air_.erase(air->second);
            on_air_.erase(air);
            if (QString w = SendWithdrawals(now); !w.isEmpty()) error = w;
            if (!withdrawals_.empty()) break;
            continue;
        }
        pacer_.Sent(*key, now);
        on_air_[*key] = name;
        names_on_air_[name] = *key;
        Deliver(e, false, name, error);
    }
    return error;
}

QString AprsOutput::AircraftLeft(const DbRecord& e) {
    const uint32_t key = AprsAddressKey(e.Icao);
    const double now = Now();
    pacer_.Forget(key, now);
    return Withdraw(e, key, now);
}

QString AprsOutput::Withdraw(const DbRecord& e, uint32_t key, double now) {
    const auto air = on_air_.find(key);
    if (air == on_air_.end()) return {};  // never reported: nothing to withdraw
    const std::string name = std::move(air->second);
    on_air_.erase(air);
    names_on_air_.erase(name);
    if (!kill_ || (!printer_ && !IsOpen())) return {};
    if (!CanSend()) {
        ++counts_.dropped;
        return {};
    }
    withdrawals_.push_back({e, name});
    return SendWithdrawals(now);
}

QString AprsCountsLine(const AprsCounts& c, const AprsFilter& f) {
    QString line = QStringLiteral("APRS sent: %1, held back: %2").arg(c.sent).arg(c.HeldBack());
    if (c.dropped > 0) line += QStringLiteral(", dropped: %1").arg(c.dropped);
    // Which rule held them back, and how many objects are on the air now.
    line += QStringLiteral("\n  interval %1, unmoved %2, ceiling %3").arg(c.held.interval).arg(c.held.unmoved).arg(c.held.ceiling);
    // The filters that are set (the line stays as it was without them).
    if (f.radius_nm > 0.0) line += QStringLiteral(", radius %1").arg(c.filtered.radius);
    if (f.min_feet > 0) line += QStringLiteral(", min. alt %1").arg(c.filtered.min_alt);
    if (f.max_feet > 0) line += QStringLiteral(", max. alt %1").arg(c.filtered.max_alt);
    if (f.callsign_only) line += QStringLiteral(", callsign %1").arg(c.filtered.callsign);
    line += QStringLiteral("; on the air: %1").arg(c.reported);
    return line + QLatin1Char('\n');
}

}  // namespace ternwick
