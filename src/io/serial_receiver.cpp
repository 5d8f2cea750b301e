#include "serial_receiver.h"

#include <span>

namespace ternwick {

SerialReceiver::SerialReceiver(BytePump& pump, std::function<QStringList()> ports, QObject* parent)
    : QObject(parent), pump_(pump), ports_(std::move(ports)) {
    QSerialPort& p = port_.Port();
    connect(&p, &QSerialPort::readyRead, this, &SerialReceiver::ReadAll);
    connect(&p, &QSerialPort::errorOccurred, this, &SerialReceiver::OnError);
}

bool SerialReceiver::Start(std::string_view port_text, QString& error) {
    Stop();
    const QString name = PortNameFromText(port_text, ports_ ? ports_() : QStringList{}, error);
    if (name.isEmpty()) {
        if (error.isEmpty()) error = QStringLiteral("No receiver port given");
        return false;
    }
    pump_.StartReception();
    return port_.Open(name, error);
}

void SerialReceiver::Stop() {
    if (!port_.IsOpen()) return;
    ReadAll();  // what has arrived is evaluated, not thrown away
    port_.Close();
}

void SerialReceiver::ReadAll() {
    QSerialPort& p = port_.Port();
    while (p.isOpen() && p.bytesAvailable() > 0) {
        const QByteArray data = p.readAll();
        if (data.isEmpty()) break;
        bytes_ += static_cast<uint64_t>(data.size());
        // Live reception: what was read now was received now.
        pump_.FeedReceiver(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.constData()),
                                                    static_cast<size_t>(data.size())),
                           pump_.HostTime());
    }
}

void SerialReceiver::OnError() {
    QSerialPort& p = port_.Port();
    const QSerialPort::SerialPortError e = p.error();
    // A device that went away (a USB receiver pulled out) or stopped delivering ends
    // reception. Modem lines a pseudo-terminal or an adapter lacks, and timeouts, do not.
    if (e != QSerialPort::ResourceError && e != QSerialPort::ReadError) return;
    if (!p.isOpen()) return;
    // A hang-up reads as "Resource temporarily unavailable" (or, on a pseudo-terminal, an
    // ioctl that does not fit), which tells a user nothing.
    const QString message =
        QStringLiteral("Receiver port %1: the device went away (unplugged or hung up); reception stopped")
            .arg(p.portName());
    ReadAll();
    p.clearError();
    p.close();
    emit failed(message);
}

}  // namespace ternwick
