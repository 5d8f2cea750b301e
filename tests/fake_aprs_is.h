// An APRS-IS server: it answers a login "verified" for the test's passcode (else "unverified"), keeps the lines.
#pragma once

#include <string>
#include <vector>

#include "fake_receiver.h"

namespace ternwick::test {

class FakeAprsIs : public FakeReceiver {
public:
    explicit FakeAprsIs(std::string passcode) : passcode_(std::move(passcode)) {}
    // Every line the clients sent, without CR LF, in arrival order.
    std::vector<std::string> lines;
    int logins = 0;

    void KeepAlive() { Send("# aprsc 2.1.10-gd72a17c 7 Dec 2026 03:00:00 GMT T2TEST 127.0.0.1:14580\r\n"); }

private:
    void Greet(QTcpSocket* s) override { s->write("# aprsc 2.1.10-gd72a17c\r\n"); }
    void Take(QTcpSocket* s, const QByteArray& bytes) override {
        pending_ += bytes.toStdString();
        for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            // "user CALL pass CODE vers NAME VERSION"
            if (line.rfind("user ", 0) != 0) continue;
            ++logins;
            const std::string call = line.substr(5, line.find(' ', 5) - 5);
            const size_t pass = line.find(" pass ") + 6;
            const bool verified = line.substr(pass, line.find(' ', pass) - pass) == passcode_;
            s->write(("# logresp " + call + (verified ? " verified" : " unverified") + ", server T2TEST\r\n").c_str());
            s->flush();
        }
    }

    std::string passcode_;
    std::string pending_;
};

}  // namespace ternwick::test
