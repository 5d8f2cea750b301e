// Shared test helpers: a host with a fixed clock that records plots, a tracker with its byte pump, and
// messages built with the traffic generator's encoder (independent of the decoder's arithmetic, and
// checked against the published examples by its own tests).
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <stdexcept>
#include <vector>

#include "cpr_encoder.h"
#include "decode/byte_pump.h"
#include "decode/frame_bytes.h"
#include "decode/tracker.h"
#include "mode_s_frames.h"

namespace ternwick::test {

using traffic::CprReport;
using traffic::EncodeCpr;

class FakeHost : public TrackerHost {
public:
    int seconds = 0;
    bool plot_air = true, plot_surf = true;
    double surf_offset = 0.0;
    std::vector<int16_t> plotted;
    std::optional<ReceiverRef> receiver;  // none: decoding without a receiver position
    bool times_real = false;              // the seconds are when messages were received
    int SecondsInHour() const override { return seconds; }
    std::optional<ReceiverRef> Receiver() const override { return receiver; }
    bool MessageTimesReal() const override { return times_real; }
    bool PlotAir() const override { return plot_air; }
    bool PlotSurf() const override { return plot_surf; }
    double MapSurfLonOffset() const override { return surf_offset; }
    void PlotPosDb(int16_t dbpos) override { plotted.push_back(dbpos); }
};

// An extended squitter (DF17, airborne capability) with ME bits 1..56 in the low 56 bits.
inline std::string MakeEs(uint32_t icao, uint64_t me) {
    return traffic::ToHex(traffic::ExtendedSquitter(icao, traffic::kCaAirborne, me));
}

// An all-call reply (DF11, capability 5) from `icao` whose parity carries interrogator code
// `ii`: the parity is the CRC of the first 32 bits overlaid (XOR) with the code.
inline std::string AllCall(uint32_t icao, uint32_t ii = 0) {
    traffic::Frame f = traffic::AllCallReply(icao, traffic::kCaAirborne);
    for (int k = 0; k < 3; ++k) f[4 + k] ^= uint8_t(ii >> (16 - 8 * k));
    return traffic::ToHex(f);
}

// Airborne position message (TC 11) with a Q=1 altitude.
inline std::string AirbornePos(uint32_t icao, double lat, double lon, int odd, int feet = 35000) {
    return MakeEs(icao, traffic::AirbornePositionMe(11, traffic::AltitudeQ1(feet), odd, EncodeCpr(lat, lon, odd, false)));
}

// Surface position message (TC 7, track not valid); movement: the 7-bit ground speed code, 0 = none.
inline std::string SurfacePos(uint32_t icao, double lat, double lon, int odd, int movement = 0) {
    return MakeEs(icao, traffic::SurfacePositionMe(7, movement, -1, odd, EncodeCpr(lat, lon, odd, true)));
}

// The identification ME of `callsign` with emitter category `category` (a test fails on a
// callsign the generator cannot write).
inline uint64_t IdMe(const char* callsign, int category = 0) {
    uint64_t me = 0;
    if (!traffic::IdentificationMe(callsign, category, me)) throw std::invalid_argument(callsign);
    return me;
}

// Evaluates one message given as hex text.
inline void Feed(Tracker& t, const std::string& hex) { t.Squitter = hex; t.EvalSquitter(); }

// A tracker with its byte pump, recording every evaluated message.
struct Decoding {
    FakeHost host;
    AirlineDirectory airlines;
    Tracker t{host, airlines};
    BytePump pump{t};
    std::vector<std::string> evaluated;
    Decoding() { pump.after_message = [this] { evaluated.emplace_back(t.LastMessage()); }; }
    DbRecord& Entry(const std::string& icao) { return t.Db(t.Db.IcaoDbPointer(icao)); }
};

// Decoding at second 1000 of the hour with a few airlines (TST twice: the first row counts).
struct Tracking : Decoding {
    Tracking() {
        airlines.LoadText("TS,TST,Test Airways,Nowhere\nLH,DLH,Lufthansa,Germany\nXX,TST,Second Test,Dup\n"
                          "KL,KLM,KLM Royal Dutch Airlines,Netherlands\n");
        host.seconds = 1000;
    }
    DbRecord& e(const char* icao) { return Entry(icao); }
};

}  // namespace ternwick::test
