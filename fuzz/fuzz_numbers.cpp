// libFuzzer target: every way a number is read from a person: text box values, command-line
// numbers, the --at moment, and port box texts. Accepted values must lie in their range.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/clock.h"
#include "common/number_text.h"
#include "io/comm_port.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const double lead = ternwick::LeadingNumber(text);
    if (std::isnan(lead)) __builtin_trap();
    (void)ternwick::RoundToInt16(lead);
    (void)ternwick::RoundToInt32(lead);
    double v = 0.0;
    std::string error;
    if (ternwick::ParseOptionNumber(text, -360, 360, false, v, error) && !(v >= -360 && v <= 360)) __builtin_trap();
    if (ternwick::ParseOptionNumber(text, 1, 32767, true, v, error) && (v != std::floor(v) || v < 1)) __builtin_trap();
    ternwick::Clock clock;
    if (clock.SetFixed(text)) {
        const ternwick::ClockTime t = clock.Now();
        if (t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 || t.second > 59) __builtin_trap();
        if (clock.SecondsInHour() > 3599) __builtin_trap();
    }
    QString why;
    (void)ternwick::PortNameFromText(text, {QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0")}, why);
    return 0;
}
