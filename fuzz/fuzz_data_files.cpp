// libFuzzer target: arbitrary bytes as the airline directory and as the map catalogue.
// Either parser must read what it can or say what is wrong, never crash or hang.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "airlines/airline_directory.h"
#include "display/map_catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ternwick::AirlineDirectory airlines;
    airlines.LoadText(text);
    if (airlines.size() > ternwick::AirlineDirectory::kRows) __builtin_trap();
    airlines.AIRofICAO("DLH");
    ternwick::MapTable maps;
    std::string error;
    if (!ternwick::ParseMapCatalogue(text, "setup.txt", maps, error) && error.empty()) __builtin_trap();
    return 0;
}
