#include "airline_directory.h"

#include "common/field_reader.h"

namespace ternwick {

int AirlineDirectory::LoadText(std::string_view text) {
    rows_.clear();
    by_icao_.clear();
    by_iata_.clear();
    FieldReader reader(text);
    AirlineRec rec;
    while (static_cast<int>(rows_.size()) < kRows) {
        if (!reader.Next(rec.IataCode) || !reader.Next(rec.IcaoCode) || !reader.Next(rec.AirlineName) ||
            !reader.Next(rec.Remark))
            break;
        const int row = static_cast<int>(rows_.size());
        by_icao_.try_emplace(rec.IcaoCode, row);
        by_iata_.try_emplace(rec.IataCode, row);
        rows_.push_back(rec);
    }
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
    if (n < kRows)
        problem = "Airline directory \"" + path + "\" is short: " + std::to_string(n) + " of " +
                  std::to_string(kRows) + " rows read; the lookups use what was read.";
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

std::string AirlineDirectory::AIRofICAO(std::string_view icao) const {
    const Index* index = icao.size() == 3 ? &by_icao_ : icao.size() == 2 ? &by_iata_ : nullptr;
    if (!index) return {};
    auto it = index->find(icao);
    return it == index->end() ? std::string{} : rows_[it->second].AirlineName;
}

std::string ICAOflight(std::string_view flight) {
    size_t n = 0;
    while (n < flight.size() && flight[n] >= 'A' && flight[n] <= 'Z') ++n;
    return std::string(flight.substr(0, n));
}

}  // namespace ternwick
