// The log of a reception: every message a live source delivers, one line each, as a
// receiver's AVR output with time stamps writes it: "@", 12 hex digits of a 12 MHz counter
// taken from the system clock, the message, ";". A replay reads it back at its pace.
#pragma once

#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <string_view>

namespace ternwick {

class MessageLog : public QObject {
    Q_OBJECT
public:
    explicit MessageLog(QObject* parent = nullptr);
    ~MessageLog() override;

    // Creates (or empties) the file. False with a message naming it when it cannot be.
    bool Open(const QString& path, QString& error);
    // Writes what is waiting and closes the file; false (and failed()) when that fails.
    bool Close();
    bool IsOpen() const { return file_.isOpen(); }
    QString FileName() const { return file_.fileName(); }
    uint64_t lines() const { return lines_; }

    // One message (14 or 28 hex digits), stamped now. Lines wait in memory and go to the
    // file whole, at least once a second.
    void Write(std::string_view digits);
    // The line a message makes at `counter` (12 MHz ticks; the low 48 bits are written).
    static QByteArray Line(std::string_view digits, uint64_t counter);
    // The system clock as a 12 MHz counter.
    static uint64_t CounterNow();

    // Writes what is waiting. On a failure (a full disk, a folder that vanished) the file
    // is cut back to the last whole line, closed, and failed() tells why.
    bool Flush();

signals:
    // Logging stopped; the message names the file and the reason.
    void failed(const QString& message);

private:
    void Fail(const QString& reason);

    QFile file_;
    QTimer flush_timer_;
    QByteArray waiting_;
    qint64 written_ = 0;  // bytes in the file, all of them whole lines
    uint64_t lines_ = 0;
};

}  // namespace ternwick
