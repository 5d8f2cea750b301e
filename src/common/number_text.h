// Number reading and rounding shared by the map, the live list and the report port: the
// leading number of a text box, halves-to-even rounding, and the fixed-digit patterns.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ternwick {

// The number at the start of a text, as a text box value is read: blanks, an optional
// sign, digits with an optional "." fraction and exponent. Whatever follows is ignored;
// a text that does not begin with a number gives 0.
double LeadingNumber(std::string_view text);

// Rounds to the nearest integer, an exact half to the even neighbour.
double RoundHalfEven(double v);
// The same, into a signed 16-bit integer (clamped at its limits).
int16_t RoundToInt16(double v);
int32_t RoundToInt32(double v);

// Fixed-digit number patterns: at least int_digits integer digits with leading zeros and
// exactly `decimals` decimals, rounded half away from zero on the exact decimal value;
// a negative value that does not round to zero gets a leading "-".
// ("000.0000" is (v, 3, 4), "00000" is (v, 5, 0).)
std::string FormatDigits(double v, int int_digits, int decimals);

// A command-line number: the whole text must be a finite decimal number ("." as the point)
// within min..max, and a whole number when `whole`. Otherwise false, with `error` saying
// what is accepted ("must be a number from 1 to 5").
bool ParseOptionNumber(std::string_view text, double min, double max, bool whole, double& out, std::string& error);

}  // namespace ternwick
