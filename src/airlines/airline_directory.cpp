#include "airline_directory.h"

#include "common/field_reader.h"

namespace ternwick {

namespace {

// A field is shown in one column of one line: longer ones are cut, and control characters
// (a NUL would end the text early in every output) become blanks. Returns what it did.
struct Cleaned {
    bool cut = false, controls = false;
};
Cleaned CleanField(std::string& f) {
    Cleaned c;
    if (f.size() > AirlineDirectory::kMaxFieldChars) {
        f.resize(AirlineDirectory::kMaxFieldChars);
        c.cut = true;
    }
    for (char& ch : f) {
        const auto u = static_cast<unsigned char>(ch);
        if (u < 0x20 || u == 0x7F) {
            ch = ' ';
            c.controls = true;
        }
    }
    return c;
}

}  // namespace

int AirlineDirectory::LoadText(std::string_view text) {
    rows_.clear();
    by_icao_.clear();
    by_iata_.clear();
    cut_fields_ = cleaned_fields_ = bad_lines_ = first_bad_line_ = first_bad_fields_ = ignored_rows_ = 0;
    // Line by line (a quoted field may hold a line break): a line with the wrong number of
    // fields is skipped alone, and the rows after it stay in their columns.
    FieldReader reader(text);
    std::string f[kFields];
    while (!reader.AtEnd()) {
        int count = 0, line = 0;
        for (;;) {
            std::string field;
            if (!reader.Next(field)) {
                if (count > 0) ++count;  // the text ends right after a comma: an empty last field
                break;
            }
            if (count == 0) line = reader.Line();
            if (count < kFields) f[count] = std::move(field);
            ++count;
            if (reader.EndedLine()) break;
        }
        if (count == 0 || (count == 1 && f[0].empty())) continue;  // an empty line
        if (count != kFields) {
            if (bad_lines_++ == 0) {
                first_bad_line_ = line;
                first_bad_fields_ = count;
            }
            continue;
        }
        if (static_cast<int>(rows_.size()) >= kRows) {
            ++ignored_rows_;
            continue;
        }
        for (std::string& field : f) {
            const Cleaned c = CleanField(field);
            cut_fields_ += c.cut;
            cleaned_fields_ += c.controls;
        }
        const int row = static_cast<int>(rows_.size());
        by_icao_.try_emplace(f[1], row);
        by_iata_.try_emplace(f[0], row);
        rows_.push_back({f[0], f[1], f[2], f[3]});
    }
    unclosed_quote_line_ = reader.UnclosedQuoteLine();
    return size();
}

int AirlineDirectory::LoadFile(const std::string& path, std::string& problem) {
    problem.clear();
    std::string text, error;
    if (!ReadWholeFile(path, text, error)) {
        LoadText({});
        problem = "Airline directory \"" + path + "\" cannot be read (" + error +
                  "): 0 rows read, airline names will be missing.";
        return 0;
    }
    const int n = LoadText(text);
    const std::string name = "Airline directory \"" + path + "\"";
    auto add = [&](const std::string& sentence) { problem += (problem.empty() ? name + ": " : " ") + sentence; };
    if (n < kRows) {
        problem = name + " is short: " + std::to_string(n) + " of " + std::to_string(kRows) + " rows read";
        if (unclosed_quote_line_ > 0)
            problem += " (the quote opened on line " + std::to_string(unclosed_quote_line_) + " is never closed)";
        problem += "; the lookups use what was read.";
    }
    if (bad_lines_ > 0)
        add(std::to_string(bad_lines_) + (bad_lines_ == 1 ? " line was" : " lines were") +
            " skipped for not having 4 fields (the first, line " + std::to_string(first_bad_line_) + ", has " +
            std::to_string(first_bad_fields_) + ").");
    if (ignored_rows_ > 0)
        add(std::to_string(ignored_rows_) + " rows after the first " + std::to_string(kRows) +
            " were not read: the directory holds " + std::to_string(kRows) + ".");
    if (cut_fields_ > 0 || cleaned_fields_ > 0)
        add(std::to_string(cut_fields_) + " fields longer than " + std::to_string(kMaxFieldChars) +
            " characters were cut and " + std::to_string(cleaned_fields_) + " had control characters, shown as blanks.");
    return n;
}

std::string AirlineDirectory::IATAofICAO(std::string_view icao) const {
    if (icao.size() == 3) {
        auto it = by_icao_.find(icao);
        return it == by_icao_.end() ? std::string{} : rows_[it->second].IataCode;
    }
    if (icao.size() == 2) return std::string(icao);
    return {};
}

std::string_view AirlineDirectory::AIRofICAO(std::string_view icao) const {
    const Index* index = icao.size() == 3 ? &by_icao_ : icao.size() == 2 ? &by_iata_ : nullptr;
    if (!index) return {};
    auto it = index->find(icao);
    return it == index->end() ? std::string_view{} : std::string_view(rows_[it->second].AirlineName);
}

std::string ICAOflight(std::string_view flight) {
    size_t n = 0;
    while (n < flight.size() && flight[n] >= 'A' && flight[n] <= 'Z') ++n;
    return std::string(flight.substr(0, n));
}

}  // namespace ternwick
