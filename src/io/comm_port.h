// A serial port as both the receiver and the report output use it: chosen by number or
// device name, opened at 115200 baud 8N1 with DTR and RTS on, text written as bytes.
#pragma once

#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <string_view>

namespace ternwick {

// Port names of the serial ports present, sorted by name (the order port numbers count in).
QStringList SortedPortNames();

// The device a port box text names. A text that begins with a number N (read as a text
// box number, rounded halves to even) names COM<N> on Windows and elsewhere the N-th
// (from 1) of `available`; any other text is a device name used as is ("/dev/ttyUSB0").
// Returns an empty name and sets `error` when the number names no port.
QString PortNameFromText(std::string_view text, const QStringList& available, QString& error);

class CommPort {
public:
    static constexpr qint32 kBaudRate = 115200;  // settings "115200,N,8,1"

    // Opens `name` with the fixed settings, switches DTR and RTS on and throws away
    // whatever input is waiting. Closes first if open. On failure `error` names the port
    // and the reason, and the port stays closed.
    bool Open(const QString& name, QString& error);
    void Close();
    bool IsOpen() const { return port_.isOpen(); }
    QString Name() const { return port_.portName(); }
    // Sends the text's bytes in order, nothing added. On failure `error` says why.
    bool Write(std::string_view text, QString& error);

    // For the receiver: readyRead / errorOccurred and reading.
    QSerialPort& Port() { return port_; }

private:
    QSerialPort port_;
};

}  // namespace ternwick
