#include "flight_table.h"

#include <bit>
#include <cstring>

#include "common/hex_digit.h"

namespace ternwick {

std::string AddressText(uint32_t key) {
    std::string s;
    AppendAddressText(s, key);
    return s;
}

void AppendAddressText(std::string& s, uint32_t key) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    if (key == kNoAddress) return;
    char text[7];
    char* p = text;
    if (key & kNonIcaoFlag) *p++ = '~';
    for (int shift = 20; shift >= 0; shift -= 4) *p++ = kDigits[(key >> shift) & 0xF];
    s.append(text, static_cast<size_t>(p - text));
}

uint32_t AddressKey(std::string_view text) {
    uint32_t key = 0;
    if (!text.empty() && text[0] == '~') {
        key = kNonIcaoFlag;
        text.remove_prefix(1);
    }
    if (text.size() != 6) return kNoAddress;
    uint32_t bits = 0;
    for (char c : text) {
        // Upper case only: the table compares texts exactly.
        const int v = (c >= 'a') ? -1 : HexDigitValue(c);
        if (v < 0) return kNoAddress;
        bits = (bits << 4) | static_cast<uint32_t>(v);
    }
    return key | bits;
}

const char* SourceName(int8_t source) {
    switch (source) {
        case kSourceAdsb: return "ADS-B";
        case kSourceTisb: return "TIS-B";
        case kSourceAdsr: return "ADS-R";
        default: return "";
    }
}

FlightTable::FlightTable() { index_.reserve(2 * kTracked); }

int16_t FlightTable::IcaoDbPointer(std::string_view icao) const {
    // An empty address would match every free entry in a scan; free entries are not indexed.
    if (icao.empty()) return AvailDb();
    // The position decoders ask by text, several times a message: the last text first.
    if (last_valid_ && icao.size() == last_text_len_ && std::memcmp(icao.data(), last_text_, icao.size()) == 0)
        return last_index_;
    const uint32_t key = AddressKey(icao);
    if (key != kNoAddress) {
        const int16_t i = Find(key);
        last_text_len_ = icao.size();
        std::memcpy(last_text_, icao.data(), icao.size());
        return i;
    }
    // Text no message makes (set by hand): the plain scan.
    for (int i = 0; i <= kLast; ++i)
        if ((*this)(i).Icao == icao) return static_cast<int16_t>(i);
    return -1;
}

int16_t FlightTable::FindIndexed(uint32_t key) const {
    last_text_len_ = 0;
    auto it = index_.find(key);
    last_key_ = key;
    last_index_ = it == index_.end() ? int16_t{-1} : it->second;
    last_valid_ = true;
    return last_index_;
}

int16_t FlightTable::AvailDb() const {
    for (size_t w = 0; w < used_.size(); ++w) {
        uint64_t free_bits = ~used_[w];
        if (w == used_.size() - 1) free_bits &= (uint64_t{1} << (kTracked % 64)) - 1;
        if (free_bits) return static_cast<int16_t>(w * 64 + std::countr_zero(free_bits));
    }
    return -1;
}

void FlightTable::SetIcao(int i, std::string_view icao) { Place(i, icao, icao.empty() ? kNoAddress : AddressKey(icao)); }

void FlightTable::SetKey(int i, uint32_t key) { Place(i, AddressText(key), key); }

void FlightTable::Place(int i, std::string_view icao, uint32_t key) {
    last_valid_ = false;
    DbRecord& e = (*this)(i);
    if (i < 0) {  // the overflow entry is never scanned
        e.Icao = icao;
        e.Key = key;
        return;
    }
    const size_t w = static_cast<size_t>(i) / 64;
    const uint64_t bit = uint64_t{1} << (i % 64);
    if (!e.Icao.empty()) {
        // The text is what the entry holds (a whole record may have been copied in).
        const uint32_t old_key = AddressKey(e.Icao);
        auto it = index_.find(old_key);
        if (old_key != kNoAddress && it != index_.end() && it->second == i) index_.erase(it);
        used_[w] &= ~bit;
        --in_use_;
    }
    e.Icao = icao;
    e.Key = key;
    if (!e.Icao.empty()) {
        // A scan finds the lowest index; keep that one if the address somehow repeats.
        if (key != kNoAddress) {
            auto [it, inserted] = index_.try_emplace(key, static_cast<int16_t>(i));
            if (!inserted && i < it->second) it->second = static_cast<int16_t>(i);
        }
        used_[w] |= bit;
        ++in_use_;
    }
}

void FlightTable::InitDbPos(int i) {
    DbRecord& e = (*this)(i);
    if (on_leave_ && i >= 0 && !e.Icao.empty()) on_leave_(e);
    SetIcao(i, {});
    const int16_t heard = e.LastHeard;
    e = DbRecord{};
    e.LastHeard = heard;
}

void FlightTable::ResetPlotFlags() {
    for (int i = 0; i <= kLast; ++i) {
        (*this)(i).PlotX = 0;
        (*this)(i).PlotY = 0;
    }
}

int FlightTable::WithPosition() const {
    int n = 0;
    for (int i = 0; i <= kLast; ++i) {
        const DbRecord& e = (*this)(i);
        if (!e.Icao.empty() && e.HasPos) ++n;
    }
    return n;
}

std::string FixLenString(std::string_view str, int length) {
    if (length <= 0) return {};
    std::string out(str.substr(0, static_cast<size_t>(length)));
    out.resize(static_cast<size_t>(length), ' ');
    return out;
}

}  // namespace ternwick
