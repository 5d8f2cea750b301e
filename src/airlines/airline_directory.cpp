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
    cut_fields_ = cleaned_fields_ = 0;
    FieldReader reader(text);
    AirlineRec rec;
    while (static_cast<int>(rows_.size()) < kRows) {
        if (!reader.Next(rec.IataCode) || !reader.Next(rec.IcaoCode) || !reader.Next(rec.AirlineName) ||
            !reader.Next(rec.Remark))
            break;
        for (std::string* f : {&rec.IataCode, &rec.IcaoCode, &rec.AirlineName, &rec.Remark}) {
            const Cleaned c = CleanField(*f);
            cut_fields_ += c.cut;
            cleaned_fields_ += c.controls;
        }
        const int row = static_cast<int>(rows_.size());
        by_icao_.try_emplace(rec.IcaoCode, row);
        by_iata_.try_emplace(rec.IataCode, row);
        rows_.push_back(rec);
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
    if (n < kRows) {
        problem = "Airline directory \"" + path + "\" is short: " + std::to_string(n) + " of " +
                  std::to_string(kRows) + " rows read";
        if (unclosed_quote_line_ > 0)
            problem += " (the quote opened on line " + std::to_string(unclosed_quote_line_) +
                       " is never closed)";
        problem += "; the lookups use what was read.";
    }
    if (cut_fields_ > 0 || cleaned_fields_ > 0) {
        problem += std::string(problem.empty() ? "Airline directory \"" + path + "\": " : " ") +
                   std::to_string(cut_fields_) + " fields longer than " + std::to_string(kMaxFieldChars) +
                   " characters were cut and " + std::to_string(cleaned_fields_) +
                   " had control characters, shown as blanks.";
    }
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
