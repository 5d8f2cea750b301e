// A receiver as the network tests meet it (and a KISS server; the APRS-IS one builds on it): a TCP
// server on 127.0.0.1 that sends what the test gives it and keeps what its clients send.
#pragma once

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <string>
#include <vector>

namespace ternwick::test {

// The one application object of a test program (the event loop needs it).
inline void EnsureApp() {
    static int argc = 1;
    static char name[] = "ternwick-test", *argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

// Spins the event loop until `done` holds or `deadline_ms` passed; true when done. The
// deadline is only a guard against a hang, never what a test checks.
template <typename F>
bool WaitFor(F done, int deadline_ms = 15000) { return QTest::qWaitFor(done, deadline_ms); }

class FakeReceiver {
public:
    FakeReceiver() {
        EnsureApp();
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                clients_.push_back(s);
                Greet(s);
                QObject::connect(s, &QTcpSocket::readyRead, [this, s] { Take(s, s->readAll()); });
                QObject::connect(s, &QTcpSocket::disconnected, [this, s] { Take(s, s->readAll()); });
            }
        });
        Listen(0);
    }
    virtual ~FakeReceiver() = default;
    // Listens on 127.0.0.1 (port 0: any free port).
    bool Listen(quint16 port) {
        const bool ok = server_.listen(QHostAddress(QHostAddress::LocalHost), port);
        if (ok) port_ = server_.serverPort();
        return ok;
    }
    void StopListening() { server_.close(); }
    quint16 Port() const { return port_; }
    std::string Target() const { return "127.0.0.1:" + std::to_string(port_); }
    int Connections() const { return static_cast<int>(clients_.size()); }
    bool ClientGone() const { return clients_.empty() || clients_.back()->state() == QAbstractSocket::UnconnectedState; }
    // Everything the clients sent, in arrival order.
    QByteArray received;

    // To the newest connection.
    void Send(const std::string& bytes) {
        clients_.back()->write(bytes.data(), static_cast<qint64>(bytes.size()));
        clients_.back()->flush();
    }
    // Closes the newest connection once what was sent has left.
    void CloseClient() { clients_.back()->disconnectFromHost(); }

protected:
    // What a newly connected client is sent first, and what becomes of the bytes it sends.
    virtual void Greet(QTcpSocket*) {}
    virtual void Take(QTcpSocket*, const QByteArray& bytes) { received += bytes; }

private:
    QTcpServer server_;
    quint16 port_ = 0;
    std::vector<QTcpSocket*> clients_;
};

// A port on 127.0.0.1 that was free a moment ago: nothing answers there.
inline quint16 FreePort() { return FakeReceiver().Port(); }

}  // namespace ternwick::test
