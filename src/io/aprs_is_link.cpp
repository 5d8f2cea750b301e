#include "aprs_is_link.h"

#include "host_port.h"

#include <algorithm>
#include <cctype>

namespace ternwick {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The next blank-separated word of `s`, taken off its front.
std::string_view Word(std::string_view& s) {
    s = Trim(s);
    const size_t end = std::min(s.find(' '), s.size());
    const std::string_view w = s.substr(0, end);
    s.remove_prefix(end);
    return w;
}

}  // namespace

AprsIsLink::AprsIsLink(QObject* parent) : KeptUpLink(parent) {
    connect(&socket_, &QTcpSocket::connected, this, [this] {
        if (blocking_) return;
        SetState(QStringLiteral("logging in"));
        socket_.write(login_.data(), static_cast<qint64>(login_.size()));
    });
    connect(&socket_, &QTcpSocket::readyRead, this, [this] {
        if (!blocking_) ReadLines();
    });
}

bool AprsIsLink::ParseServer(std::string_view text, QString& host, quint16& port, QString& error) {
    const std::string_view s = Trim(text);
    std::string_view h = s, digits;
    const size_t colon = s.rfind(':');
    const bool bare_v6 = s.find(':') != colon && s.front() != '[';
    if (colon != std::string_view::npos && !bare_v6 && (s.front() != '[' || s[colon - 1] == ']')) {
        h = s.substr(0, colon);
        digits = s.substr(colon + 1);
    }
    if (h.size() >= 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
    if (h.empty()) {
        error = QStringLiteral("APRS-IS server \"%1\": no host (host or host:port)").arg(Text(s));
        return false;
    }
    std::optional<qlonglong> p = kDefaultPort;
    if (!digits.empty() || colon + 1 == s.size()) {
        p = PortNumber(Text(digits));
        if (!p || *p < 1 || *p > 65535) {
            error = QStringLiteral("APRS-IS server \"%1\": the port after \":\" is a number from 1 to 65535").arg(Text(s));
            return false;
        }
    }
    host = Text(h);
    port = static_cast<quint16>(*p);
    return true;
}

QString AprsIsLink::CheckPasscode(std::string_view text) {
    const std::string_view s = Trim(text);
    bool ok = !s.empty() && s.size() <= 6;
    for (size_t i = 0; ok && i < s.size(); ++i) ok = std::isdigit(static_cast<unsigned char>(s[i])) || (i == 0 && s[i] == '-');
    const int n = ok ? Text(s).toInt(&ok) : 0;
    if (ok && n >= -1 && n <= 32767) return {};
    return QStringLiteral("APRS-IS passcode \"%1\": a number from 0 to 32767 that the APRS-IS operators give "
                          "for your callsign (-1: receive only, nothing is sent)")
        .arg(Text(s));
}

std::string AprsIsLink::LoginLine(std::string_view call, std::string_view passcode) {
    return "user " + std::string(call) + " pass " + std::string(Trim(passcode)) + " vers Ternwick " TERNWICK_VERSION
           "\r\n";
}

AprsIsLink::Login AprsIsLink::ParseLogresp(std::string_view line) {
    if (Word(line) != "#" || Word(line) != "logresp") return Login::None;
    Word(line);  // the callsign the server read
    std::string_view answer = Word(line);
    if (!answer.empty() && answer.back() == ',') answer.remove_suffix(1);
    if (answer == "verified") return Login::Verified;
    if (answer == "unverified") return Login::Unverified;
    return Login::None;
}

QString AprsIsLink::UnverifiedText() const {
    std::string_view rest = login_;
    Word(rest);
    const std::string_view call = Word(rest);
    return QStringLiteral("APRS-IS server %1 did not verify the login of %2: the passcode does not belong to "
                          "this callsign, so nothing is sent")
        .arg(Target(), Text(call));
}

void AprsIsLink::Start(const QString& host, quint16 port, const std::string& login) {
    Stop();
    login_ = login;
    StartAttempts(host, port);
}

void AprsIsLink::Attempt() {
    verified_ = false;
    pending_.clear();
    KeptUpLink::Attempt();
}

void AprsIsLink::Dropped() {
    verified_ = false;
    KeptUpLink::Dropped();
}

void AprsIsLink::ReadLines() {
    pending_ += socket_.readAll().toStdString();
    size_t end;
    while ((end = pending_.find('\n')) != std::string::npos) {
        const std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        // Comments other than the answer to the login (the server's name, keep-alives) and
        // the packets of a feed are nothing to this link.
        const Login answer = ParseLogresp(line);
        if (answer == Login::Verified && !verified_) {
            verified_ = true;
            ++logins_;
            delay_ms_ = first_delay_ms_;
            last_error_.clear();
            SetState(QStringLiteral("verified"));
        } else if (answer == Login::Unverified) {
            verified_ = false;
            started_ = false;
            retry_.stop();
            last_error_ = UnverifiedText();
            socket_.abort();
            SetState(QStringLiteral("unverified"));
            if (!blocking_) emit refused(last_error_);
            return;
        }
    }
    // A server that never ends a line must not grow this without bound.
    if (pending_.size() > 4096) pending_.clear();
}

AprsIsLink::Result AprsIsLink::LogInNow(int timeout_ms, QString& error) {
    socket_.abort();
    verified_ = false;
    pending_.clear();
    since_attempt_.start();
    socket_.connectToHost(host_, port_);
    if (!socket_.waitForConnected(timeout_ms)) {
        error = QStringLiteral("APRS-IS server %1 cannot be reached (%2)").arg(Target(), socket_.errorString());
        socket_.abort();
        return Result::Unreachable;
    }
    socket_.write(login_.data(), static_cast<qint64>(login_.size()));
    QElapsedTimer waited;
    waited.start();
    while (socket_.state() == QAbstractSocket::ConnectedState && waited.elapsed() < timeout_ms) {
        if (!socket_.waitForReadyRead(static_cast<int>(std::max<qint64>(1, timeout_ms - waited.elapsed())))) break;
        ReadLines();
        if (verified_) {
            SetState(QStringLiteral("verified"));
            return Result::Verified;
        }
        if (state_ == QLatin1String("unverified")) {
            error = last_error_;
            return Result::Unverified;
        }
    }
    error = QStringLiteral("APRS-IS server %1 gave no answer to the login (%2)")
                .arg(Target(), socket_.state() == QAbstractSocket::ConnectedState ? QStringLiteral("no \"# logresp\"")
                                                                                : socket_.errorString());
    socket_.abort();
    return Result::NoAnswer;
}

AprsIsLink::Result AprsIsLink::ConnectNow(const QString& host, quint16 port, const std::string& login, int timeout_ms,
                                          QString& error) {
    Stop();
    host_ = host;
    port_ = port;
    login_ = login;
    blocking_ = true;
    delay_ms_ = first_delay_ms_;
    const Result r = LogInNow(timeout_ms, error);
    started_ = r == Result::Verified;
    if (!started_) blocking_ = false;
    return r;
}

void AprsIsLink::Stop() {
    started_ = false;
    retry_.stop();
    if (socket_.state() == QAbstractSocket::ConnectedState) {
        if (socket_.bytesToWrite() > 0) socket_.waitForBytesWritten(200);
        socket_.disconnectFromHost();
    } else {
        socket_.abort();
    }
    verified_ = false;
    blocking_ = false;
    if (state_ != QLatin1String("unverified")) SetState(QString());
}

bool AprsIsLink::Poll() {
    if (!started_) return false;
    if (blocking_) {
        // No event loop reads for this link: take what the server said (keep-alives) now,
        // which also shows a link the server closed.
        if (socket_.state() == QAbstractSocket::ConnectedState && socket_.waitForReadyRead(0)) ReadLines();
        if (!IsReady()) {
            if (!started_ || since_attempt_.elapsed() < delay_ms_) return false;
            QString error;
            const Result r = LogInNow(5000, error);
            if (r != Result::Verified) {
                last_error_ = error;
                started_ = r != Result::Unverified;
                delay_ms_ = std::min(delay_ms_ * 2, longest_delay_ms_);
                return false;
            }
            delay_ms_ = first_delay_ms_;
        }
    }
    return IsReady();
}

bool AprsIsLink::Send(std::string_view line) {
    if (!IsReady()) return false;
    const qint64 size = static_cast<qint64>(line.size());
    if (socket_.bytesToWrite() > 0 && socket_.bytesToWrite() + size > kMaxPending) {
        if (!blocking_ || !socket_.waitForBytesWritten(30000)) return false;
    }
    if (socket_.write(line.data(), size) != size) return false;
    socket_.flush();
    return true;
}

bool AprsIsLink::Flush(int timeout_ms, QString& error) {
    while (IsReady() && socket_.bytesToWrite() > 0) {
        if (!socket_.waitForBytesWritten(timeout_ms)) break;
    }
    if (!IsReady() || socket_.bytesToWrite() > 0) {
        error = QStringLiteral("APRS-IS server %1: the link broke (%2)")
                    .arg(Target(), last_error_.isEmpty() ? socket_.errorString() : last_error_);
        Stop();
        return false;
    }
    socket_.disconnectFromHost();
    if (socket_.state() != QAbstractSocket::UnconnectedState) socket_.waitForDisconnected(timeout_ms);
    started_ = false;
    blocking_ = false;
    SetState(QString());
    return true;
}

}  // namespace ternwick
