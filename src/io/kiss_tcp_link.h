// A TCP link to a KISS server (a software TNC such as direwolf on its port 8001) that the
// report output writes frames to: kept up in the background by the window, or opened once
// and drained before exit by the headless replay.
#pragma once

#include <functional>
#include <string_view>

#include "io/kept_up_link.h"

namespace ternwick {

class KissTcpLink : public KeptUpLink {
    Q_OBJECT
public:
    // Bytes allowed to wait for the peer; a frame beyond that is dropped (never queued
    // without bound while a TNC or the network stalls).
    static constexpr qint64 kMaxPending = 64 * 1024;

    explicit KissTcpLink(QObject* parent = nullptr);

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

    bool IsConnected() const { return socket_.state() == QAbstractSocket::ConnectedState; }
    // Hands bytes to the link. False, with nothing queued, while it is down or when more
    // than kMaxPending bytes still wait. A link opened with ConnectNow waits for room
    // instead, until the peer has taken nothing for the stall limit: the link is then given
    // up (GaveUp, state "gave up") and takes nothing more.
    bool Send(std::string_view bytes);
    // Waits until every byte written has left, then closes. False with a message naming the
    // server and the bytes not sent when the link broke, the peer took nothing for the
    // stall limit or `timeout_ms` in all, or the stop check asked to end.
    bool Flush(int timeout_ms, QString& error);

    // A link opened with ConnectNow: how long the peer may take nothing before the link is
    // given up, and a check, asked between short waits, that ends every wait at once (an
    // interrupted or timed run).
    void SetStallLimit(int ms) { stall_limit_ms_ = ms; }
    int StallLimit() const { return stall_limit_ms_; }
    void SetStopCheck(std::function<bool()> stop) { stop_ = std::move(stop); }
    bool GaveUp() const { return gave_up_; }

    // The window's state texts: "connecting", "connected", "retrying in N s", "gave up" or "".

private:
    bool StopAsked() const { return stop_ && stop_(); }
    // Blocking: waits until no more than `pending` bytes wait to leave. False when the link
    // broke, the stop check asked, the peer stalled (the link is then given up) or
    // `timeout_ms` passed.
    bool WaitUntilPending(qint64 pending, int timeout_ms);

    int stall_limit_ms_ = 30000;
    bool gave_up_ = false;
    std::function<bool()> stop_;
};

}  // namespace ternwick
