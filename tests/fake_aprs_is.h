// An APRS-IS server as the tests meet it: it greets, answers a login line with "# logresp
// CALL verified" when the passcode is the one the test gave it (else "unverified"), sends
// keep-alive comments when asked, keeps every line its clients send and can drop them.
#pragma once

#include <QTcpServer>
#include <QTcpSocket>

#include <string>
#include <vector>

#include "fake_receiver.h"

namespace ternwick::test {

class FakeAprsIs {
public:
    explicit FakeAprsIs(std::string passcode) : passcode_(std::move(passcode)) {
        EnsureApp();
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                clients_.push_back(s);
                s->write("# aprsc 2.1.10-gd72a17c\r\n");
                QObject::connect(s, &QTcpSocket::readyRead, [this, s] { Read(s); });
            }
        });
        server_.listen(QHostAddress(QHostAddress::LocalHost), 0);
    }
    std::string Target() const { return "127.0.0.1:" + std::to_string(server_.serverPort()); }
    // Every line the clients sent, without CR LF, in arrival order.
    std::vector<std::string> lines;
    int logins = 0;

    void KeepAlive() { Send("# aprsc 2.1.10-gd72a17c 7 Dec 2026 03:00:00 GMT T2TEST 127.0.0.1:14580\r\n"); }
    void DropClient() { clients_.back()->disconnectFromHost(); }
    bool ClientGone() const { return clients_.empty() || clients_.back()->state() == QAbstractSocket::UnconnectedState; }

private:
    void Send(const std::string& text) {
        clients_.back()->write(text.data(), static_cast<qint64>(text.size()));
        clients_.back()->flush();
    }
    void Read(QTcpSocket* s) {
        pending_ += s->readAll().toStdString();
        size_t end;
        while ((end = pending_.find('\n')) != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            // "user CALL pass CODE vers NAME VERSION"
            if (line.rfind("user ", 0) != 0) continue;
            ++logins;
            const size_t call_end = line.find(' ', 5);
            const std::string call = line.substr(5, call_end - 5);
            const size_t pass = line.find(" pass ");
            const std::string code = line.substr(pass + 6, line.find(' ', pass + 6) - pass - 6);
            const std::string answer = code == passcode_ ? "verified" : "unverified";
            const std::string reply = "# logresp " + call + " " + answer + ", server T2TEST\r\n";
            s->write(reply.data(), static_cast<qint64>(reply.size()));
            s->flush();
        }
    }

    std::string passcode_;
    QTcpServer server_;
    std::vector<QTcpSocket*> clients_;
    std::string pending_;
};

}  // namespace ternwick::test
