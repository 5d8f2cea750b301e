// What an aircraft's 24-bit address says by itself: the state its block is allocated to
// (ICAO Annex 10, Volume III, the allocation table of aircraft addresses), and, for the
// United States block, the registration (N-number) that the address encodes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace geo {

// The state (or organisation) the address block holding `address` is allocated to; empty
// when the block is unallocated.
std::string_view AddressCountry(uint32_t address);

// The N-number a United States address encodes ("N1" for A00001, "N99999" for ADF7C7);
// empty outside A00001..ADF7C7.
std::string UsRegistration(uint32_t address);

}  // namespace geo
