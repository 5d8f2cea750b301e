// A TCP link to a KISS server (a software TNC such as direwolf on its port 8001) that the
// report output writes frames to: kept up in the background by the window, or opened once
// and drained before exit by the headless replay.
#pragma once

#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

#include <string_view>

namespace ternwick {

class KissTcpLink : public QObject {
    Q_OBJECT
public:
    // Bytes allowed to wait for the peer; a frame beyond that is dropped (never queued
    // without bound while a TNC or the network stalls).
    static constexpr qint64 kMaxPending = 64 * 1024;

    explicit KissTcpLink(QObject* parent = nullptr);
    ~KissTcpLink() override;

    // True when a port box text names a network server ("host:port", "[v6 address]:port")
    // rather than a serial port (a number, "/dev/ttyUSB0", "COM3").
    static bool LooksLikeHostPort(std::string_view text);
    // Splits "host:port". False with a message naming the text when the host is missing or
    // the port is not 1..65535.
    static bool ParseHostPort(std::string_view text, QString& host, quint16& port, QString& error);

    // Connects in the background; when the connection fails or drops, tries again after
    // 1 s, doubling up to 30 s, until Stop. Never blocks.
    void Start(const QString& host, quint16 port);
    // Connects now, waiting up to `timeout_ms` (no event loop needed); no retries after.
    // False with a message naming the server and the reason.
    bool ConnectNow(const QString& host, quint16 port, int timeout_ms, QString& error);
    // Closes the link (what was written still leaves) and stops retrying.
    void Stop();

    bool IsStarted() const { return started_; }
    bool IsConnected() const { return socket_.state() == QAbstractSocket::ConnectedState; }
    // Hands bytes to the link. False, with nothing queued, while it is down or when more
    // than kMaxPending bytes still wait. A link opened with ConnectNow waits for room instead.
    bool Send(std::string_view bytes);
    // Waits until every byte written has left, then closes. False with a message when the
    // link broke or the peer took nothing for `timeout_ms`.
    bool Flush(int timeout_ms, QString& error);

    // For the window: "connecting", "connected", "retrying in N s" or "" (stopped), and
    // why the last attempt failed.
    QString State() const { return state_; }
    QString LastError() const { return last_error_; }
    QString Target() const;
    // The first and the longest wait between attempts (tests shorten them).
    void SetRetryDelays(int first_ms, int longest_ms);

signals:
    void stateChanged();

private:
    void Attempt();
    void Dropped();
    void SetState(const QString& state);

    QTcpSocket socket_;
    QTimer retry_;
    QString host_;
    quint16 port_ = 0;
    bool started_ = false;
    bool blocking_ = false;
    int first_delay_ms_ = 1000;
    int longest_delay_ms_ = 30000;
    int delay_ms_ = 1000;
    QString state_;
    QString last_error_;
};

}  // namespace ternwick
