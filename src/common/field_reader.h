// Reads the comma/line-separated field files the program ships with ("airlinecodes.csv",
// "setup.txt"): fields end at a comma or a line end, blanks before a field are skipped,
// a double-quoted field may hold commas, an empty line is one empty field.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ternwick {

class FieldReader {
public:
    // A UTF-8 byte-order mark (what some editors put first) is not part of the first field.
    explicit FieldReader(std::string_view text) : text_(text) {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    }

    // Next field into out; false at the end of the text (out is then empty).
    bool Next(std::string& out);
    bool AtEnd() const { return pos_ >= text_.size(); }
    // The last field read ended its line (a line end, not a comma, or the end of the text).
    bool EndedLine() const { return ended_line_; }
    // 1-based line of the last field read, for messages that point the user at it.
    int Line() const { return line_; }
    // Line of the first quote that is never closed (its field runs to the end), else 0.
    int UnclosedQuoteLine() const { return unclosed_quote_line_; }

private:
    void SkipLineEnd();
    std::string_view text_;
    size_t pos_ = 0;
    int line_ = 1;
    int next_line_ = 1;
    int unclosed_quote_line_ = 0;
    bool ended_line_ = false;
};

// The largest data file read: the shipped ones are well under 1 MB, and a file of gigabytes
// given by mistake must not exhaust memory.
inline constexpr uintmax_t kMaxDataFileBytes = 64u << 20;

// Reads a whole file into text; false with a reason when it cannot be read (a folder, too
// large, missing, no permission).
bool ReadWholeFile(const std::string& path, std::string& text, std::string& error);

}  // namespace ternwick
