// A pseudo-terminal pair: the program opens `name` as its serial port, the test plays the
// device on `master`.
#pragma once

#include <gtest/gtest.h>

#include <QTest>

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <string>

namespace ternwick::test {

struct Pty {
    int master = -1, slave = -1;
    char name[256] = {};
    Pty() { EXPECT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0); }
    ~Pty() { if (slave >= 0) close(slave); if (master >= 0) close(master); }
    void Write(const std::string& s) const { EXPECT_EQ(write(master, s.data(), s.size()), ssize_t(s.size())); }
    // Reads what the program sent until `want` bytes arrived, spinning the event loop (a
    // generous deadline guards against a hang).
    std::string Read(size_t want) const {
        std::string got;
        char buf[4096];
        (void)QTest::qWaitFor([&] {
            for (pollfd p{master, POLLIN, 0}; poll(&p, 1, 0) > 0;) {
                const ssize_t n = read(master, buf, sizeof buf);
                if (n <= 0) break;
                got.append(buf, size_t(n));
            }
            return got.size() >= want;
        }, 20000);
        return got;
    }
};

}  // namespace ternwick::test
