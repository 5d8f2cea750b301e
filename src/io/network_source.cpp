#include "network_source.h"

#include "host_port.h"

#include <QTcpSocket>

#include <algorithm>

namespace ternwick {

std::optional<HostPort> ParseHostPort(const QString& text, QString& error) {
    const QString t = text.trimmed();
    QString host, port;
    if (t.startsWith(u'[')) {
        // An IPv6 address carries colons of its own; brackets set it apart from the port.
        const qsizetype close = t.indexOf(u']');
        if (close < 0 || close + 1 >= t.size() || t[close + 1] != u':') {
            error = QStringLiteral("Network source \"%1\": write [IPv6 address]:port").arg(t);
            return std::nullopt;
        }
        host = t.mid(1, close - 1);
        port = t.mid(close + 2);
    } else {
        const qsizetype colon = t.lastIndexOf(u':');
        if (colon < 0) {
            error = QStringLiteral("Network source \"%1\": no port; write host:port (30002 AVR text, "
                                   "30005 Beast binary)")
                        .arg(t);
            return std::nullopt;
        }
        host = t.left(colon);
        port = t.mid(colon + 1);
    }
    if (host.isEmpty()) {
        error = QStringLiteral("Network source \"%1\": no host name").arg(t);
        return std::nullopt;
    }
    const std::optional<qlonglong> number = PortNumber(port);
    if (!number) {
        error = QStringLiteral("Network source %1: port \"%2\" is not a number").arg(t, port);
        return std::nullopt;
    }
    if (*number < 1 || *number > 65535) {
        error = QStringLiteral("Network source %1: port %2 is out of range (1 to 65535)").arg(t).arg(*number);
        return std::nullopt;
    }
    return HostPort{host, static_cast<quint16>(*number)};
}

int RetryBackoff::Next() {
    const int delay = next_ms_;
    next_ms_ = std::min(max_ms_, next_ms_ > max_ms_ / 2 ? max_ms_ : next_ms_ * 2);
    return delay;
}

namespace {

QString SocketErrorText(QAbstractSocket::SocketError error, const QString& qt_text) {
    switch (error) {
    case QAbstractSocket::HostNotFoundError: return QStringLiteral("host not found");
    case QAbstractSocket::ConnectionRefusedError: return QStringLiteral("connection refused");
    case QAbstractSocket::RemoteHostClosedError: return QStringLiteral("the receiver closed the connection");
    case QAbstractSocket::NetworkError: return QStringLiteral("network error (%1)").arg(qt_text);
    default: return qt_text;
    }
}

QString SecondsText(int ms) { return QString::number(ms / 1000.0); }

}  // namespace

NetworkSource::NetworkSource(BytePump& pump, QObject* parent)
    : QObject(parent),
      framing_(InputFormat::Auto, [&pump](std::string_view digits) { pump.EvalReceived(digits, pump.HostTime()); }),
      buffer_(std::make_unique<char[]>(kReadBytes)) {
    retry_timer_.setSingleShot(true);
    silence_timer_.setSingleShot(true);
    quiet_timer_.setSingleShot(true);
    quiet_timer_.setInterval(kQuietMs);
    connect(&retry_timer_, &QTimer::timeout, this, &NetworkSource::Connect);
    connect(&silence_timer_, &QTimer::timeout, this, [this] {
        ConnectionLost(state_ == State::Connected
                           ? QStringLiteral("no data for %1 s; connection dropped").arg(SecondsText(silence_ms_))
                           : QStringLiteral("no answer within %1 s").arg(SecondsText(silence_ms_)));
    });
    connect(&quiet_timer_, &QTimer::timeout, this, [this] { SetReceiving(false); });
}

NetworkSource::~NetworkSource() { DropSocket(); }

bool NetworkSource::Start(const QString& host_port, QString& error) {
    Stop();
    const std::optional<HostPort> target = ParseHostPort(host_port, error);
    if (!target) return false;
    target_ = *target;
    host_port_ = host_port.trimmed();
    ever_connected_ = false;
    backoff_.Reset();
    Connect();
    return true;
}

void NetworkSource::Stop() {
    if (state_ == State::Stopped) return;
    retry_timer_.stop();
    silence_timer_.stop();
    DropSocket();
    framing_.Restart();
    SetReceiving(false);
    SetState(State::Stopped);
}

int NetworkSource::RetrySecondsLeft() const {
    if (state_ != State::Retrying) return 0;
    return (std::max(0, retry_timer_.remainingTime()) + 999) / 1000;
}

NetworkCounters NetworkSource::counters() const {
    NetworkCounters c = counters_;
    c.avr = framing_.avr();
    c.beast = framing_.beast();
    return c;
}

void NetworkSource::Connect() {
    DropSocket();
    socket_ = make_socket_ ? make_socket_() : new QTcpSocket;
    socket_->setParent(this);
    connect(socket_, &QTcpSocket::connected, this, &NetworkSource::OnConnected);
    connect(socket_, &QTcpSocket::readyRead, this, &NetworkSource::OnReadyRead);
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        ConnectionLost(SocketErrorText(error, socket_ ? socket_->errorString() : QString()));
    });
    connect(socket_, &QTcpSocket::disconnected, this,
            [this] { ConnectionLost(QStringLiteral("the receiver closed the connection")); });
    SetState(State::Connecting);
    // A connection attempt to a host that never answers would otherwise hang for minutes.
    silence_timer_.start(silence_ms_);
    socket_->connectToHost(target_.host, target_.port);
}

void NetworkSource::DropSocket() {
    if (!socket_) return;
    QTcpSocket* s = socket_;
    socket_ = nullptr;
    s->disconnect(this);
    s->abort();
    // This may run inside one of the socket's own signals.
    s->deleteLater();
}

void NetworkSource::OnConnected() {
    ++counters_.connects;
    ever_connected_ = true;
    data_on_connection_ = false;
    framing_.Restart();
    silence_timer_.start(silence_ms_);
    SetState(State::Connected);
}

void NetworkSource::OnReadyRead() {
    qint64 total = 0;
    while (socket_) {
        const qint64 n = socket_->read(buffer_.get(), kReadBytes);
        if (n <= 0) break;
        total += n;
        counters_.bytes += static_cast<uint64_t>(n);
        framing_.Feed({reinterpret_cast<const uint8_t*>(buffer_.get()), static_cast<size_t>(n)});
    }
    // Stop() may have run from inside the evaluation.
    if (total == 0 || state_ != State::Connected) return;
    silence_timer_.start(silence_ms_);
    quiet_timer_.start();
    SetReceiving(true);
    if (!data_on_connection_) {
        // A connection that delivers is healthy: the next failure starts the delays afresh.
        data_on_connection_ = true;
        backoff_.Reset();
        emit formatDetected(framing_.current());
    }
    emit bytesArrived(total);
}

void NetworkSource::ConnectionLost(const QString& reason) {
    // A lost connection reports through both errorOccurred and disconnected; act once.
    if (state_ != State::Connecting && state_ != State::Connected) return;
    if (state_ == State::Connected) ++counters_.drops;
    silence_timer_.stop();
    DropSocket();
    framing_.Restart();
    SetReceiving(false);
    emit errorOccurred(QStringLiteral("%1: %2").arg(host_port_, reason));
    // Stop() may have been called by a receiver of errorOccurred.
    if (state_ == State::Stopped) return;
    const int delay = backoff_.Next();
    retry_timer_.start(delay);
    SetState(State::Retrying, (delay + 999) / 1000);
}

void NetworkSource::SetState(State state, int retry_seconds) {
    if (state == state_ && retry_seconds == retry_seconds_) return;
    state_ = state;
    retry_seconds_ = retry_seconds;
    emit stateChanged(state, retry_seconds);
}

void NetworkSource::SetReceiving(bool on) {
    if (!on) quiet_timer_.stop();
    if (on == receiving_) return;
    receiving_ = on;
    emit receivingChanged(on);
}

}  // namespace ternwick
