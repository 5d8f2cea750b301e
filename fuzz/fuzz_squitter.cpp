// libFuzzer target: messages that pass the parity check, so position, identification,
// velocity and altitude decoding are reached, and what a session makes of them: the plot
// and report step, the live list with its expiry, the report line and the CSV.
// Input: records of 1 + 11 bytes (a control byte, then the first 88 bits of an extended
// squitter) or 1 + 4 bytes (an all-call reply); the parity is computed here.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "airlines/airline_directory.h"
#include "aprs/aprs_report.h"
#include "app/replay_core.h"
#include "decode/byte_pump.h"
#include "decode/frame_bytes.h"
#include "display/live_list.h"

namespace {

class Host : public ternwick::TrackerHost {
public:
    ternwick::Tracker* tracker = nullptr;
    int now = 0;
    bool plot = true;
    double offset = 90.0;
    int SecondsInHour() const override { return now; }
    bool PlotAir() const override { return plot; }
    bool PlotSurf() const override { return plot; }
    double MapSurfLonOffset() const override { return offset; }
    void PlotPosDb(int16_t dbpos) override {
        if (dbpos < 0 || dbpos > 500) __builtin_trap();  // never the overflow entry
        const ternwick::DbRecord& e = tracker->Db(dbpos);
        if (AprsObjectLine(e, {31, 23, 59}).size() > 200) __builtin_trap();
        if (ternwick::FlightListRow(e, 0, plot).empty()) __builtin_trap();
    }
};

std::string Hex(const uint8_t* b, size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[b[i] >> 4];
        s += digits[b[i] & 15];
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ternwick::AirlineDirectory airlines = [] {
        ternwick::AirlineDirectory d;
        d.LoadText("LH,DLH,Lufthansa,Germany\n5J,CEB,Cebu Pacific,Philippines\n");
        return d;
    }();
    Host host;
    ternwick::Tracker tracker(host, airlines);
    host.tracker = &tracker;
    ternwick::BytePump pump(tracker);
    ternwick::LiveList live;
    size_t i = 0;
    while (i < size) {
        const uint8_t control = data[i++];
        // The control byte moves the clock, flips the plot switches and the map offset, so
        // expiry, plotting and surface offsets all take part.
        host.now = (host.now + (control & 0x0F) * 7) % 3600;
        host.plot = (control & 0x10) == 0;
        if (control & 0x20) host.offset = -host.offset;
        uint8_t msg[14];
        if (control & 0x80) {  // all-call reply, interrogator code from the control byte
            if (size - i < 4) break;
            msg[0] = static_cast<uint8_t>(0x58 | (data[i] & 7));
            for (int k = 1; k < 4; ++k) msg[k] = data[i + k];
            i += 4;
            const uint32_t parity = static_cast<uint32_t>(ternwick::CRC24_Bytes(msg, 4)) ^ (control & 0x3F);
            msg[4] = uint8_t(parity >> 16), msg[5] = uint8_t(parity >> 8), msg[6] = uint8_t(parity);
            pump.EvalMessage(Hex(msg, 7));
        } else {
            if (size - i < 11) break;
            msg[0] = static_cast<uint8_t>(0x88 | (data[i] & 7));  // DF 17
            for (int k = 1; k < 11; ++k) msg[k] = data[i + k];
            i += 11;
            const uint32_t parity = static_cast<uint32_t>(ternwick::CRC24_Bytes(msg, 11));
            msg[11] = uint8_t(parity >> 16), msg[12] = uint8_t(parity >> 8), msg[13] = uint8_t(parity);
            pump.EvalMessage(Hex(msg, 14));
        }
        if (control & 0x40) {
            live.TableChanged();
            live.ShowTextTable(tracker.Db, host.now, {double(control & 0x3F), (control & 1) != 0});
            (void)live.Text(tracker.Db);
        }
        const ternwick::DbRecord& e = tracker.Db(tracker.Db.IcaoDbPointer(tracker.CurIcao));
        if (e.Lat < -90.0 || e.Lat > 90.0) {
            std::fprintf(stderr, "latitude %f of %s after %s\n", e.Lat, tracker.CurIcao.c_str(), tracker.Squitter.c_str());
            __builtin_trap();
        }
    }
    (void)ternwick::FlightTableCsv(tracker.Db);
    return 0;
}
