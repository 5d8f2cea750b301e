#include "aprs_output.h"

namespace ternwick {

bool ReportButton::Click() {
    if (caption_ == kStart) {
        caption_ = kStop;
        return true;
    }
    caption_ = kStart;
    return false;
}

AprsOutput::AprsOutput(std::function<AprsTime()> clock, std::function<QStringList()> ports)
    : clock_(std::move(clock)), ports_(std::move(ports)) {}

QString AprsOutput::Fail(const QString& message) {
    port_.Close();
    button_.ShowClosed();
    return message;
}

QString AprsOutput::StartStopAprs_Click(std::string_view port_text) {
    const bool open = button_.Click();
    port_.Close();
    if (!open) return {};

    QString error;
    const QString name = PortNameFromText(port_text, ports_ ? ports_() : QStringList{}, error);
    if (name.isEmpty()) return Fail(error.isEmpty() ? QStringLiteral("No serial port given") : error);
    if (!port_.Open(name, error)) return Fail(error);
    if (!port_.Write(kAprsPortOpenText, error)) return Fail(error);
    return {};
}

QString AprsOutput::SendAprsObject(const FlightTable& db, int16_t dbpos) {
    if (!port_.IsOpen()) return {};
    const std::string line = AprsObjectLine(db(dbpos), clock_());
    QString error;
    if (!port_.Write(line, error)) return Fail(error);
    return {};
}

}  // namespace ternwick
