// A login to an APRS-IS server (a filtered feed port, 14580 by default) that the report
// output writes its lines to: kept up in the background by the window, or made now and
// made again on demand by the headless replay. The server answers the login line with
// "# logresp CALL verified" or "unverified"; an unverified login may send nothing.
#pragma once

#include <QElapsedTimer>

#include <string>
#include <string_view>

#include "io/kept_up_link.h"

namespace ternwick {

class AprsIsLink : public KeptUpLink {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 14580;
    // Bytes allowed to wait for the server; a line beyond that is dropped, never queued
    // without bound.
    static constexpr qint64 kMaxPending = 64 * 1024;

    enum class Login { None, Verified, Unverified };
    enum class Result { Verified, Unverified, Unreachable, NoAnswer };

    explicit AprsIsLink(QObject* parent = nullptr);

    // "host" or "host:port" ("[v6 address]:port"); without a port, 14580. False with a
    // message naming the text when the host is missing or the port is not 1..65535.
    static bool ParseServer(std::string_view text, QString& host, quint16& port, QString& error);
    // The passcode as typed: a whole number from -1 (receive only) to 32767. Empty text or
    // anything else gives a message.
    static QString CheckPasscode(std::string_view text);
    // "user CALL pass CODE vers Ternwick VERSION" and CR LF.
    static std::string LoginLine(std::string_view call, std::string_view passcode);
    // What a server line says about the login: "# logresp CALL verified, server X" or
    // "... unverified, ..."; None for every other line (keep-alive comments, packets).
    static Login ParseLogresp(std::string_view line);

    // Connects and logs in in the background; when the connection fails or drops, tries
    // again after 1 s, doubling up to 30 s, until Stop, logging in again each time. An
    // unverified login stops it (see refused).
    void Start(const QString& host, quint16 port, const std::string& login);
    // Connects and logs in now, waiting up to `timeout_ms` for each step (no event loop
    // needed). Afterwards a dropped link is made again by Send, at most as often as the
    // background link would try. `error` says what went wrong, naming the server.
    Result ConnectNow(const QString& host, quint16 port, const std::string& login, int timeout_ms, QString& error);
    // Closes the link (what was written still leaves) and stops retrying.
    void Stop();

    // Connected and the login verified: lines may go.
    bool IsReady() const { return verified_ && socket_.state() == QAbstractSocket::ConnectedState; }
    // Whether a line may go now. A link made with ConnectNow reads what the server said
    // (which shows a link it closed) and, when it is down and the wait is over, is made
    // again and logged in again here.
    bool Poll();
    // Hands one line (with its CR LF) to the server. False, with nothing queued, while the
    // link is not ready or too much still waits.
    bool Send(std::string_view line);
    // Waits until every byte written has left, then closes. False with a message when the
    // link broke or the server took nothing for `timeout_ms`.
    bool Flush(int timeout_ms, QString& error);

    // The window's state texts: "connecting", "logging in", "verified", "unverified",
    // "retrying in N s" or "" (stopped).
    // Logins the server verified in this run (more than one: the link was made again).
    int Logins() const { return logins_; }

signals:
    // The server did not verify the login: nothing is sent; the message says why.
    void refused(const QString& why);

private:
    void Attempt() override;
    void Dropped() override;
    void ReadLines();
    QString UnverifiedText() const;
    // The blocking road: connect, log in, wait for the answer.
    Result LogInNow(int timeout_ms, QString& error);

    std::string login_;
    std::string pending_;  // a server line not yet ended
    bool verified_ = false;
    int logins_ = 0;
    QElapsedTimer since_attempt_;  // the blocking road's wait before trying again
};

}  // namespace ternwick
