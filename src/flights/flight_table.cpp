#include "flight_table.h"

#include <bit>

namespace ternwick {

FlightTable::FlightTable() { index_.reserve(2 * kTracked); }

int16_t FlightTable::IcaoDbPointer(std::string_view icao) const {
    // An empty address would match every free entry in a scan; free entries are not indexed.
    if (icao.empty()) return AvailDb();
    if (last_valid_ && icao == last_key_) return last_index_;
    auto it = index_.find(icao);
    last_key_.assign(icao);
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

void FlightTable::SetIcao(int i, std::string_view icao) {
    last_valid_ = false;
    DbRecord& e = (*this)(i);
    if (i < 0) {  // the overflow entry is never scanned
        e.Icao = icao;
        return;
    }
    const size_t w = static_cast<size_t>(i) / 64;
    const uint64_t bit = uint64_t{1} << (i % 64);
    if (!e.Icao.empty()) {
        auto it = index_.find(e.Icao);
        if (it != index_.end() && it->second == i) index_.erase(it);
        used_[w] &= ~bit;
        --in_use_;
    }
    e.Icao = icao;
    if (!e.Icao.empty()) {
        // A scan finds the lowest index; keep that one if the address somehow repeats.
        auto [it, inserted] = index_.try_emplace(e.Icao, static_cast<int16_t>(i));
        if (!inserted && i < it->second) it->second = static_cast<int16_t>(i);
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
