// A receiver's traffic over TCP (dump1090, readsb: AVR text on port 30002, Beast binary on
// 30005) into the byte pump, on the user-interface thread, kept connected until stopped.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "decode/byte_pump.h"
#include "stream_framing.h"

class QTcpSocket;

namespace ternwick {

struct HostPort {
    QString host;
    quint16 port = 0;
};

// Reads "host:port" ("[::1]:30005" for an IPv6 address). On failure `error` names the
// text and says what is wrong (no port, a port that is not a number or not in 1..65535).
std::optional<HostPort> ParseHostPort(const QString& text, QString& error);

// Reconnection delays: the first, then doubling up to a ceiling; Reset() after a
// connection that delivered data.
class RetryBackoff {
public:
    RetryBackoff(int first_ms, int max_ms) : first_ms_(first_ms), max_ms_(max_ms), next_ms_(first_ms) {}
    int Next();
    void Reset() { next_ms_ = first_ms_; }

private:
    int first_ms_, max_ms_, next_ms_;
};

struct NetworkCounters {
    uint64_t connects = 0;  // connections made
    uint64_t drops = 0;     // connections lost once made: closed, broken or silent too long
    uint64_t bytes = 0;     // bytes received
    FramingCounts avr, beast;
};

// Use: connect the signals, then Start("host:port"); Stop() ends it. Name lookup and
// connecting never block. A failed or lost connection is tried again after 1 s, then 2,
// 4... up to 30 s, until Stop(); a connection silent for 60 s counts as lost (a receiver
// unplugged or rebooted leaves a half-open link behind). Every complete Mode S message
// goes to BytePump::EvalMessage as it arrives, so the table, list, map and reports behave
// as with the serial receiver.
class NetworkSource : public QObject {
    Q_OBJECT

public:
    enum class State { Stopped, Connecting, Connected, Retrying };
    Q_ENUM(State)

    static constexpr int kSilenceTimeoutMs = 60000;
    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kMaxRetryMs = 30000;
    // Without bytes for this long a connected source is "silent" (the red indicator).
    static constexpr int kQuietMs = 2000;
    static constexpr qint64 kReadBytes = 1 << 16;

    explicit NetworkSource(BytePump& pump, QObject* parent = nullptr);
    ~NetworkSource() override;

    // Starts connecting to "host:port" (stopping first if running). False, with `error`
    // naming the text and what is wrong and the state left Stopped, when it is not
    // host:port with a port of 1..65535; faults after that come through errorOccurred().
    bool Start(const QString& host_port, QString& error);
    // Closes the connection and stops retrying; a frame in progress is dropped.
    void Stop();

    // AVR, Beast or told apart by the first byte of each connection (the default);
    // takes effect at the next connection.
    void SetFormat(InputFormat format) { framing_.SetFormat(format); }
    InputFormat format() const { return framing_.format(); }
    // The format of the current connection's stream: Auto until its first byte.
    InputFormat CurrentFormat() const { return framing_.current(); }
    // For tests and special links; the defaults are the constants above.
    void SetSilenceTimeout(int ms) { silence_ms_ = ms; }
    void SetRetryDelays(int first_ms, int max_ms) { backoff_ = RetryBackoff(first_ms, max_ms); }
    // Makes the socket of each attempt (a plain QTcpSocket by default); the source owns it.
    void SetSocketFactory(std::function<QTcpSocket*()> make) { make_socket_ = std::move(make); }

    State state() const { return state_; }
    bool IsRunning() const { return state_ != State::Stopped; }
    // The wait before the next attempt as it began (what stateChanged carried), and what
    // is left of it now (for a countdown), in whole seconds rounded up; 0 unless Retrying.
    int RetrySeconds() const { return retry_seconds_; }
    int RetrySecondsLeft() const;
    // "host:port" as given to Start().
    QString Target() const { return host_port_; }
    // True once any connection has been made since Start().
    bool EverConnected() const { return ever_connected_; }
    // True while bytes keep arriving (less than kQuietMs apart).
    bool IsReceiving() const { return receiving_; }
    NetworkCounters counters() const;

signals:
    // Every change of state; retry_seconds is the wait before the next attempt while
    // Retrying ("retrying in N s"), else 0.
    void stateChanged(ternwick::NetworkSource::State state, int retry_seconds);
    // After the bytes of one read went through the framing and the evaluation.
    void bytesArrived(qint64 count);
    // True at the first bytes after a quiet spell, false after kQuietMs without any (and
    // when the connection goes).
    void receivingChanged(bool receiving);
    // The first bytes of a connection arrived, read as `format` (Avr or Beast: the fixed
    // format, or what the first byte told).
    void formatDetected(ternwick::InputFormat format);
    // A fault, naming host:port and the reason: a host that does not resolve, a refused,
    // closed or silent connection. Retrying goes on by itself.
    void errorOccurred(const QString& message);

private:
    void Connect();
    void DropSocket();
    void OnConnected();
    void OnReadyRead();
    void ConnectionLost(const QString& reason);
    void SetState(State state, int retry_seconds = 0);
    void SetReceiving(bool on);

    StreamFraming framing_;
    QTcpSocket* socket_ = nullptr;
    std::function<QTcpSocket*()> make_socket_;
    HostPort target_;
    QString host_port_;
    State state_ = State::Stopped;
    int retry_seconds_ = 0;
    RetryBackoff backoff_{kFirstRetryMs, kMaxRetryMs};
    int silence_ms_ = kSilenceTimeoutMs;
    QTimer retry_timer_;
    QTimer silence_timer_;
    QTimer quiet_timer_;
    bool ever_connected_ = false;
    bool data_on_connection_ = false;
    bool receiving_ = false;
    NetworkCounters counters_;
    std::unique_ptr<char[]> buffer_;  // one read's bytes on their way to the framing
};

}  // namespace ternwick
