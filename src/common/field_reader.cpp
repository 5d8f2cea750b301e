#include "field_reader.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

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
    ended_line_ = pos_ >= text_.size() || text_[pos_] != ',';
    if (pos_ < text_.size()) {
        if (!ended_line_) ++pos_;
        else SkipLineEnd();
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& text, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Only a regular file has an end that comes: a device (/dev/zero) or a FIFO would be read
    // without bound, or would hold the program up waiting for a writer.
    const fs::file_status st = fs::status(path, ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    if (st.type() != fs::file_type::regular) {
        error = st.type() == fs::file_type::directory ? "it is a folder, not a file"
                : st.type() == fs::file_type::character || st.type() == fs::file_type::block
                    ? "it is a device, not a regular file"
                : st.type() == fs::file_type::fifo ? "it is a FIFO or pipe, not a regular file"
                                                    : "it is not a regular file";
        return false;
    }
    auto too_large = [&](uintmax_t size) {
        error = "it is " + std::to_string(size >> 20) + " MB, more than a data file can be";
        return false;
    };
    if (const uintmax_t size = fs::file_size(path, ec); !ec && size > kMaxDataFileBytes) return too_large(size);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = std::strerror(errno);
        return false;
    }
    // Read in bounded pieces: a file that grows while it is read still stops at the cap.
    std::string out;
    char buf[1 << 16];
    while (in) {
        in.read(buf, sizeof buf);
        out.append(buf, static_cast<size_t>(in.gcount()));
        if (out.size() > kMaxDataFileBytes) return too_large(out.size());
    }
    if (in.bad()) {
        error = "read error";
        return false;
    }
    text = std::move(out);
    return true;
}

}  // namespace ternwick
