// The port part of "host:port", read the same way for every link the program opens.
#pragma once

#include <QString>

#include <algorithm>
#include <optional>

namespace ternwick {

// The number in `digits`: digits only, since a sign or a blank after the colon is a typing
// slip, not port 80 (Qt's own conversion would take both). None when it is not such a
// number; the range is the caller's to check and to name.
inline std::optional<qlonglong> PortNumber(const QString& digits) {
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    bool ok = false;
    const qlonglong n = digits.toLongLong(&ok);
    return ok ? std::optional<qlonglong>(n) : std::nullopt;
}

}  // namespace ternwick
