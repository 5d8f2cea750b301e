#include "kiss_tcp_link.h"

#include "host_port.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cctype>
#include <climits>

namespace ternwick {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// The longest single wait of a link opened with ConnectNow: an interrupt or a deadline is
// noticed within it.
constexpr int kStepMs = 200;

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

KissTcpLink::KissTcpLink(QObject* parent) : KeptUpLink(parent) {
    connect(&socket_, &QTcpSocket::connected, this, [this] {
        delay_ms_ = first_delay_ms_;
        last_error_.clear();
        SetState(QStringLiteral("connected"));
    });
    // A TNC hands every frame it hears to its KISS clients; none of it is wanted here.
    connect(&socket_, &QTcpSocket::readyRead, this, [this] { socket_.readAll(); });
}

bool KissTcpLink::LooksLikeHostPort(std::string_view text) {
    const std::string_view s = Trim(text);
    if (s.empty() || s.front() == '/' || s.front() == '\\') return false;
    const size_t colon = s.rfind(':');
    if (colon == std::string_view::npos || colon + 1 == s.size()) return false;
    return std::all_of(s.begin() + static_cast<std::ptrdiff_t>(colon) + 1, s.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

bool KissTcpLink::ParseHostPort(std::string_view text, QString& host, quint16& port, QString& error) {
    const std::string_view s = Trim(text);
    const size_t colon = s.rfind(':');
    std::string_view h = colon == std::string_view::npos ? s : s.substr(0, colon);
    if (h.size() >= 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
    const std::optional<qlonglong> p = PortNumber(colon == std::string_view::npos ? QString() : Text(s.substr(colon + 1)));
    if (h.empty()) {
        error = QStringLiteral("KISS server \"%1\": no host before the port (host:port)").arg(Text(s));
        return false;
    }
    if (!p || *p < 1 || *p > 65535) {
        error = QStringLiteral("KISS server \"%1\": the port after \":\" is a number from 1 to 65535").arg(Text(s));
        return false;
    }
    host = Text(h);
    port = static_cast<quint16>(*p);
    return true;
}

void KissTcpLink::Start(const QString& host, quint16 port) {
    Stop();
    gave_up_ = false;
    StartAttempts(host, port);
}

bool KissTcpLink::ConnectNow(const QString& host, quint16 port, int timeout_ms, QString& error) {
    Stop();
    host_ = host;
    port_ = port;
    gave_up_ = false;
    socket_.connectToHost(host, port);
    QElapsedTimer waited;
    waited.start();
    // In short steps, so that an interrupt is noticed while the server does not answer.
    while (socket_.state() != QAbstractSocket::ConnectedState && !StopAsked() && waited.elapsed() < timeout_ms) {
        if (socket_.waitForConnected(static_cast<int>(std::min<qint64>(kStepMs, timeout_ms - waited.elapsed()))))
            break;
        if (socket_.state() == QAbstractSocket::UnconnectedState) break;  // refused, not found
    }
    if (socket_.state() != QAbstractSocket::ConnectedState) {
        const QString why = StopAsked()                                   ? QStringLiteral("interrupted")
                            : socket_.error() == QAbstractSocket::UnknownSocketError
                                ? QStringLiteral("no answer within %1 s").arg((timeout_ms + 999) / 1000)
                                : socket_.errorString();
        error = QStringLiteral("KISS server %1 cannot be reached (%2)").arg(Target(), why);
        socket_.abort();
        return false;
    }
    started_ = true;
    blocking_ = true;
    SetState(QStringLiteral("connected"));
    return true;
}

bool KissTcpLink::WaitUntilPending(qint64 pending, int timeout_ms) {
    QElapsedTimer since_progress, waited;
    since_progress.start();
    waited.start();
    qint64 left = socket_.bytesToWrite();
    while (IsConnected() && socket_.bytesToWrite() > pending) {
        if (StopAsked() || waited.elapsed() >= timeout_ms) return false;
        if (since_progress.elapsed() >= stall_limit_ms_) {
            gave_up_ = true;
            last_error_ = QStringLiteral("it took nothing for %1 s").arg(stall_limit_ms_ / 1000.0);
            SetState(QStringLiteral("gave up"));
            return false;
        }
        socket_.waitForBytesWritten(kStepMs);
        if (socket_.bytesToWrite() < left) {
            left = socket_.bytesToWrite();
            since_progress.restart();
        }
    }
    return IsConnected();
}

void KissTcpLink::Stop() {
    started_ = false;
    retry_.stop();
    if (IsConnected()) {
        // Let the last frames (a few hundred bytes at most) leave before the link goes.
        if (socket_.bytesToWrite() > 0) socket_.waitForBytesWritten(200);
        socket_.disconnectFromHost();
    } else {
        socket_.abort();
    }
    blocking_ = false;
    SetState(QString());
}

bool KissTcpLink::Send(std::string_view bytes) {
    if (!IsConnected() || gave_up_) return false;
    const qint64 size = static_cast<qint64>(bytes.size());
    if (socket_.bytesToWrite() > 0 && socket_.bytesToWrite() + size > kMaxPending) {
        if (!blocking_ || !WaitUntilPending(std::max<qint64>(0, kMaxPending - size), INT_MAX)) return false;
    }
    if (blocking_ && socket_.bytesAvailable() > 0) socket_.readAll();  // no event loop reads them
    if (socket_.write(bytes.data(), size) != size) return false;
    socket_.flush();  // to the peer now, not at the next turn of the event loop
    return true;
}

bool KissTcpLink::Flush(int timeout_ms, QString& error) {
    if (!gave_up_) WaitUntilPending(0, timeout_ms);
    if (!IsConnected() || socket_.bytesToWrite() > 0) {
        const qint64 unsent = socket_.bytesToWrite();
        const QString why = gave_up_ || !IsConnected() ? (last_error_.isEmpty() ? socket_.errorString() : last_error_)
                            : StopAsked()              ? QStringLiteral("interrupted")
                                                       : QStringLiteral("not done within %1 s").arg(timeout_ms / 1000.0);
        error = IsConnected() || gave_up_
                    ? QStringLiteral("KISS server %1: %2; %3 bytes of reports were not sent").arg(Target(), why).arg(unsent)
                    : QStringLiteral("KISS server %1: the link broke (%2)").arg(Target(), why);
        socket_.abort();  // nothing more leaves: a stalled peer would hold the close up too
        Stop();
        return false;
    }
    socket_.disconnectFromHost();
    if (socket_.state() != QAbstractSocket::UnconnectedState) socket_.waitForDisconnected(std::min(timeout_ms, 2000));
    started_ = false;
    blocking_ = false;
    SetState(QString());
    return true;
}

}  // namespace ternwick
