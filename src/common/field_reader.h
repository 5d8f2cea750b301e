// Reads the comma/line-separated field files the program ships with ("airlinecodes.csv",
// "setup.txt"): fields end at a comma or a line end, blanks before a field are skipped,
// a double-quoted field may hold commas, an empty line is one empty field.
#pragma once

#include <string>
#include <string_view>

namespace ternwick {

class FieldReader {
public:
    explicit FieldReader(std::string_view text) : text_(text) {}

    // Next field into out; false at the end of the text (out is then empty).
    bool Next(std::string& out);
    bool AtEnd() const { return pos_ >= text_.size(); }
    // 1-based line of the last field read, for messages that point the user at it.
    int Line() const { return line_; }

private:
    void SkipLineEnd();
    std::string_view text_;
    size_t pos_ = 0;
    int line_ = 1;
    int next_line_ = 1;
};

// Reads a whole file into text; false with a reason when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& text, std::string& error);

}  // namespace ternwick
