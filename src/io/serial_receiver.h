// The serial receiver: opens the receiver's port and hands every byte it delivers, in
// arrival order, to the byte pump under the receiver's character rules. A port that fails
// while receiving (a USB receiver pulled out) is closed and reported.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <string_view>

#include "decode/byte_pump.h"
#include "io/comm_port.h"

namespace ternwick {

class SerialReceiver : public QObject {
    Q_OBJECT
public:
    // `ports` lists the serial ports that port numbers count (tests give their own).
    explicit SerialReceiver(BytePump& pump, std::function<QStringList()> ports = SortedPortNames,
                            QObject* parent = nullptr);

    // Opens the port a port box text names, with an empty RxFrame. False with a message
    // naming the port and the reason; the receiver is then stopped.
    bool Start(std::string_view port_text, QString& error);
    // Closes the port; what it had delivered has been evaluated.
    void Stop();
    bool IsRunning() const { return port_.IsOpen(); }
    QString PortName() const { return port_.Name(); }
    uint64_t bytes() const { return bytes_; }

signals:
    // The port failed while receiving and has been closed.
    void failed(const QString& message);

private:
    void ReadAll();
    void OnError();

    BytePump& pump_;
    std::function<QStringList()> ports_;
    CommPort port_;
    uint64_t bytes_ = 0;
};

}  // namespace ternwick
