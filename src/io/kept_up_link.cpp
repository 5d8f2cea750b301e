#include "kept_up_link.h"

#include <algorithm>

namespace ternwick {

KeptUpLink::KeptUpLink(QObject* parent) : QObject(parent) {
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &KeptUpLink::Attempt);
    connect(&socket_, &QTcpSocket::disconnected, this, &KeptUpLink::Dropped);
    connect(&socket_, &QTcpSocket::errorOccurred, this, [this] {
        last_error_ = socket_.errorString();
        if (socket_.state() != QAbstractSocket::ConnectedState) Dropped();
    });
}

KeptUpLink::~KeptUpLink() {
    // The socket goes after the timer; it must not call back into a half-destroyed link.
    QObject::disconnect(&socket_, nullptr, this, nullptr);
    socket_.abort();
}

QString KeptUpLink::Target() const {
    return host_.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2").arg(host_).arg(port_)
                                           : QStringLiteral("%1:%2").arg(host_).arg(port_);
}

void KeptUpLink::SetRetryDelays(int first_ms, int longest_ms) {
    first_delay_ms_ = delay_ms_ = first_ms;
    longest_delay_ms_ = longest_ms;
}

void KeptUpLink::SetState(const QString& state) {
    if (state == state_) return;
    state_ = state;
    emit stateChanged();
}

void KeptUpLink::StartAttempts(const QString& host, quint16 port) {
    host_ = host;
    port_ = port;
    started_ = true;
    blocking_ = false;
    delay_ms_ = first_delay_ms_;
    last_error_.clear();
    Attempt();
}

void KeptUpLink::Attempt() {
    retry_.stop();
    socket_.abort();
    SetState(QStringLiteral("connecting"));
    socket_.connectToHost(host_, port_);  // name lookup and connecting run in the background
}

void KeptUpLink::Dropped() {
    if (!started_ || blocking_ || retry_.isActive()) return;
    SetState(QStringLiteral("retrying in %1 s").arg((delay_ms_ + 999) / 1000));
    retry_.start(delay_ms_);
    delay_ms_ = std::min(delay_ms_ * 2, longest_delay_ms_);
}

}  // namespace ternwick
