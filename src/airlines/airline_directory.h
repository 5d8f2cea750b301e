// The airline directory read from "airlinecodes.csv" (IATA code, ICAO code, name, remark
// per row) and the three lookups the decoder uses to name a flight's airline.
// Where a designator repeats, the first row wins.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ternwick {

struct AirlineRec {
    std::string IataCode;
    std::string IcaoCode;
    std::string AirlineName;
    std::string Remark;
};

class AirlineDirectory {
public:
    static constexpr int kRows = 5428;  // rows read; any after them are counted and told
    static constexpr int kFields = 4;   // IATA, ICAO, name, remark
    static constexpr size_t kMaxFieldChars = 100;  // longer fields are cut: a line of text

    // Parses the file's text. Returns the number of rows read (at most kRows); a line
    // without exactly four fields is skipped.
    int LoadText(std::string_view text);
    // Reads the file; on a missing or short file `problem` names the file and says how
    // many rows were read. The rows that were read are used either way.
    int LoadFile(const std::string& path, std::string& problem);

    int size() const { return static_cast<int>(rows_.size()); }
    const std::vector<AirlineRec>& rows() const { return rows_; }

    std::string IATAofICAO(std::string_view icao) const;
    // A view of the row's name, valid while the directory is not loaded again.
    std::string_view AIRofICAO(std::string_view icao) const;

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    using Index = std::unordered_map<std::string, int, Hash, std::equal_to<>>;
    std::vector<AirlineRec> rows_;
    Index by_icao_;  // first row of each ICAO designator
    Index by_iata_;  // first row of each IATA designator
    int unclosed_quote_line_ = 0;
    int cut_fields_ = 0;
    int cleaned_fields_ = 0;
    int bad_lines_ = 0;
    int first_bad_line_ = 0;
    int first_bad_fields_ = 0;
    int ignored_rows_ = 0;
};

// The longest leading run of "A".."Z" of a callsign.
std::string ICAOflight(std::string_view flight);

}  // namespace ternwick
