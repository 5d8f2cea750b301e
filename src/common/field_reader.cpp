#include "field_reader.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace ternwick {

void FieldReader::SkipLineEnd() {
    // CR LF, a lone LF and a lone CR each end one line.
    if (pos_ < text_.size() && text_[pos_] == '\r') ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    ++next_line_;
}

bool FieldReader::Next(std::string& out) {
    out.clear();
    if (pos_ >= text_.size()) return false;
    line_ = next_line_;
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '"') {
        ++pos_;
        const size_t close = text_.find('"', pos_);
        const size_t end = close == std::string_view::npos ? text_.size() : close;
        if (close == std::string_view::npos && unclosed_quote_line_ == 0) unclosed_quote_line_ = line_;
        out.assign(text_.substr(pos_, end - pos_));
        // Line ends inside the quotes still move later fields' line numbers on.
        for (const char c : out)
            if (c == '\n') ++next_line_;
        pos_ = close == std::string_view::npos ? end : end + 1;
        // Whatever stands between the closing quote and the separator is not part of the value.
        while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '\r' && text_[pos_] != '\n') ++pos_;
    } else {
        const size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '\r' && text_[pos_] != '\n') ++pos_;
        size_t end = pos_;
        while (end > start && (text_[end - 1] == ' ' || text_[end - 1] == '\t')) --end;
        out.assign(text_.substr(start, end - start));
    }
    if (pos_ < text_.size()) {
        if (text_[pos_] == ',') ++pos_;
        else SkipLineEnd();
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& text, std::string& error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = "it is a folder, not a file";
        return false;
    }
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxDataFileBytes) {
        error = "it is " + std::to_string(size >> 20) + " MB, more than a data file can be";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::strerror(errno);
        return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) {
        error = "read error";
        return false;
    }
    text = std::move(ss).str();
    return true;
}

}  // namespace ternwick
