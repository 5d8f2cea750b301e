#include "comm_port.h"

#include <QSerialPortInfo>
#include <QtGlobal>

#include <algorithm>
#include <cctype>

#include "common/number_text.h"

namespace ternwick {

QStringList SortedPortNames() {
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) names << info.portName();
    std::sort(names.begin(), names.end());
    return names;
}

QString PortNameFromText(std::string_view text, const QStringList& available, QString& error) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const std::string_view rest = text.substr(i);
    const bool numeric = rest.empty() || std::isdigit(static_cast<unsigned char>(rest[0])) || rest[0] == '.' ||
                         rest[0] == '+' || rest[0] == '-';
    if (!numeric) {
        std::string_view name = rest;
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
        return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    const double value = RoundHalfEven(LeadingNumber(rest));
    if (!(value >= -32768.0 && value <= 32767.0)) {
        error = QStringLiteral("Serial port %1 is out of range: port numbers go from 1 to 32767")
                    .arg(QString::fromUtf8(rest.data(), static_cast<qsizetype>(rest.size())).trimmed());
        return {};
    }
    const int n = static_cast<int>(value);
#ifdef Q_OS_WIN
    Q_UNUSED(available);
    if (n >= 1) return QStringLiteral("COM%1").arg(n);
    error = QStringLiteral("Serial port %1: port numbers start at 1").arg(n);
    return {};
#else
    if (n >= 1 && n <= available.size()) return available[n - 1];
    error = available.isEmpty()
                ? QStringLiteral("Serial port %1: no serial ports found").arg(n)
                : QStringLiteral("Serial port %1: there are %2 serial ports (1 = %3 ... %2 = %4), "
                                 "or type a device name")
                      .arg(n)
                      .arg(available.size())
                      .arg(available.front(), available.back());
    return {};
#endif
}

bool CommPort::Open(const QString& name, QString& error) {
    if (port_.isOpen()) Close();
    port_.setPortName(name);
    port_.setBaudRate(kBaudRate);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        error = QStringLiteral("Serial port %1 cannot be opened (%2)").arg(name, port_.errorString());
        port_.clearError();
        return false;
    }
    // Pseudo-terminals and some adapters have no modem lines; the port works without them.
    port_.setDataTerminalReady(true);
    port_.setRequestToSend(true);
    port_.clear(QSerialPort::Input);
    port_.clearError();
    return true;
}

void CommPort::Close() {
    if (!port_.isOpen()) return;
    // Let a last line (short, no flow control) leave before the port goes.
    if (port_.bytesToWrite() > 0) port_.waitForBytesWritten(200);
    port_.close();
}

bool CommPort::Write(std::string_view text, QString& error) {
    if (!port_.isOpen()) {
        error = QStringLiteral("Serial port %1 is not open").arg(port_.portName());
        return false;
    }
    const qint64 n = port_.write(text.data(), static_cast<qint64>(text.size()));
    if (n != static_cast<qint64>(text.size())) {
        error = QStringLiteral("Serial port %1: write failed (%2)").arg(port_.portName(), port_.errorString());
        return false;
    }
    // Hand the bytes to the device now rather than at the next turn of the event loop.
    port_.flush();
    return true;
}

}  // namespace ternwick
