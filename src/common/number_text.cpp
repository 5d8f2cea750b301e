#include "number_text.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <limits>

namespace ternwick {

double LeadingNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::string num;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) num += text[i++];
    size_t digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) num += text[i++], ++digits;
    if (i < text.size() && text[i] == '.') {
        num += text[i++];
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) num += text[i++], ++digits;
    }
    if (digits == 0) return 0.0;
    // An exponent counts only when digits follow it ("2e" is just 2).
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        std::string exp = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exp += text[j++];
        if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) exp += text[j++];
            num += exp;
        }
    }
    // from_chars always reads "." as the decimal point; strtod would follow the locale the
    // application set (a German desktop reads "2.5" as 2).
    const char* first = num.data() + (num[0] == '+' ? 1 : 0);
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(first, num.data() + num.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (num.find("e-") != std::string::npos) return 0.0;  // too small: underflow
        return num[0] == '-' ? -HUGE_VAL : HUGE_VAL;
    }
    return ec == std::errc() ? value : 0.0;
}

double RoundHalfEven(double v) {
    if (!std::isfinite(v)) return v;
    const double down = std::floor(v);
    const double diff = v - down;
    if (diff > 0.5) return down + 1.0;
    if (diff < 0.5) return down;
    // A tie: to the even neighbour. down is a whole number below 2^52 here (larger values
    // have no fraction), so halving it is exact; cheaper than fmod, which a map's colours
    // reach for every plot.
    const double half = down * 0.5;
    return half == std::floor(half) ? down : down + 1.0;
}

namespace {

// RoundHalfEven for |v| < 2^51, without a branch or a call: adding 1.5 * 2^52 leaves no bits
// below the units, so the processor's rounding (to nearest, a tie to even) does the work,
// and taking it away again is exact. Every plot rounds its picture position so.
double RoundHalfEvenSmall(double v) {
    constexpr double kShift = 6755399441055744.0;  // 1.5 * 2^52
    return (v + kShift) - kShift;
}

}  // namespace

int16_t RoundToInt16(double v) {
    const double r = std::fabs(v) < 65536.0 ? RoundHalfEvenSmall(v) : RoundHalfEven(v);
    if (!(r >= -32768.0)) return -32768;  // also NaN
    if (r > 32767.0) return 32767;
    return static_cast<int16_t>(r);
}

int32_t RoundToInt32(double v) {
    const double r = std::fabs(v) < 4294967296.0 ? RoundHalfEvenSmall(v) : RoundHalfEven(v);
    if (!(r >= double(std::numeric_limits<int32_t>::min()))) return std::numeric_limits<int32_t>::min();
    if (r > double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(r);
}

std::string FormatDigits(double v, int int_digits, int decimals) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v < 0 ? "-Inf" : "Inf";
    // Print well past the wanted decimals: to_chars prints the exact binary value, so the
    // first dropped digit is exact and decides the rounding. (Unlike printf it ignores the
    // locale, which a Qt application sets from the desktop.)
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed, decimals + 24);
    if (res.ec != std::errc()) return "Overflow";
    std::string s(buf, res.ptr);
    const size_t point = s.find('.');
    std::string digits = s.substr(0, point) + s.substr(point + 1, static_cast<size_t>(decimals));
    const char first_dropped = s[point + 1 + static_cast<size_t>(decimals)];
    if (first_dropped >= '5') {
        size_t k = digits.size();
        while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
        if (k == 0) digits.insert(digits.begin(), '1');
        else ++digits[k - 1];
    }
    std::string whole = digits.substr(0, digits.size() - static_cast<size_t>(decimals));
    const std::string frac = digits.substr(whole.size());
    while (whole.size() > 1 && whole[0] == '0') whole.erase(0, 1);
    if (whole.size() < static_cast<size_t>(int_digits)) whole.insert(0, static_cast<size_t>(int_digits) - whole.size(), '0');
    std::string out;
    if (v < 0 && digits.find_first_not_of('0') != std::string::npos) out = "-";
    out += whole;
    if (decimals > 0) out += "." + frac;
    return out;
}

bool ParseOptionNumber(std::string_view text, double min, double max, bool whole, double& out, std::string& error) {
    auto range = [&] {
        char buf[96];
        std::snprintf(buf, sizeof buf, "must be %s from %.10g to %.10g", whole ? "a whole number" : "a number", min,
                      max);
        error = buf;
        return false;
    };
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;  // from_chars takes no plus sign
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(first, last, v);
    // "nan", "inf" and out-of-range exponents are no numbers a user meant.
    if (text.empty() || ec != std::errc() || ptr != last || !std::isfinite(v)) return range();
    if (v < min || v > max || (whole && v != std::floor(v))) return range();
    out = v;
    return true;
}

}  // namespace ternwick
