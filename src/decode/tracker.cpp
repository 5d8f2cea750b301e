#include "tracker.h"

#include <cmath>
#include <numbers>

#include "frame_bytes.h"

namespace ternwick {

namespace {

constexpr char kCrLf[] = "\r\n";

// 6-bit identification codes: space, A-Z, 21 spaces, 0-9, 5 spaces; code 63 adds nothing.
constexpr char kIdCharset[] = " ABCDEFGHIJKLMNOPQRSTUVWXYZ                     0123456789     ";
static_assert(sizeof(kIdCharset) - 1 == 63);

void AppendTwoDigits(std::string& s, int v) {
    s += static_cast<char>('0' + v / 10);
    s += static_cast<char>('0' + v % 10);
}

// Hand-over check: exactly 14 or 28 characters, all 0-9 or A-F; fills the bytes.
bool ParseSquitter(const std::string& sq, uint8_t* out) {
    if (sq.size() != 14 && sq.size() != 28) return false;
    for (size_t k = 0; k < sq.size() / 2; ++k) {
        const char hi = sq[2 * k], lo = sq[2 * k + 1];
        const int h = (hi >= 'a') ? -1 : HexDigitValue(hi);
        const int l = (lo >= 'a') ? -1 : HexDigitValue(lo);
        if (h < 0 || l < 0) return false;
        out[k] = static_cast<uint8_t>(h * 16 + l);
    }
    return true;
}

}  // namespace

Tracker::Tracker(TrackerHost& host, const AirlineDirectory& airlines) : host_(host), airlines_(airlines) {
    trace_.reserve(128);
    for (int i = 0; i <= FlightTable::kLast; ++i) Db.InitDbPos(i);
}

std::string Tracker::StatusText() const {
    return "Flights in range: " + std::to_string(Db.InUse()) + kCrLf + "Flights with pos: " +
           std::to_string(Db.WithPosition()) + kCrLf;
}

void Tracker::EnterAircraft() {
    // Bytes 1..3 (message bits 9-32): the aircraft address, characters 3 to 8 of the text.
    CurIcao.assign(Squitter, 2, 6);
    trace_ += "ICAO ";
    trace_ += CurIcao;
    if (!Db.IcaoInDb(CurIcao)) {
        NewDbPos = Db.AvailDb();
        if (NewDbPos == -1) ++stats_.table_full;
        if (NewDbPos != -1) {
            Db.SetIcao(NewDbPos, CurIcao);
            DbRecord& e = Db(NewDbPos);
            e.Flight.assign(8, ' ');
            e.PosKind = "-";
        }
    }
    DbRecord& e = Entry();
    e.LastHeard = stamp_;
    ++e.Messages;
}

void Tracker::EvalSquitter() {
    now_ = host_.NowSeconds();
    stamp_ = static_cast<int16_t>(host_.SecondsInHour());
    Evaluate();
}

void Tracker::EvalSquitter(double now) {
    now_ = now;
    const int64_t s = static_cast<int64_t>(std::floor(now)) % 3600;
    stamp_ = static_cast<int16_t>(s < 0 ? s + 3600 : s);
    Evaluate();
}

void Tracker::Evaluate() {
    uint8_t msg[14];
    ++stats_.messages;
    now_real_ = host_.MessageTimesReal();
    if (!ParseSquitter(Squitter, msg)) {
        ++stats_.malformed;
        return;
    }
    const bool is_short = Squitter.size() == 14;

    DF = msg[0] >> 3;  // bits 1-5: downlink format
    ++stats_.per_df[DF];
    trace_.assign(Squitter);
    trace_ += kCrLf;
    trace_ += "DF";
    AppendTwoDigits(trace_, DF);

    if (is_short && DF == 0) {
        trace_ += " Short ACAS";
        trace_ += kCrLf;
    } else if (is_short && DF == 11) {
        // An all-call reply's parity is overlaid with the interrogator code, so its remainder
        // is that code (II 0..15, or SI 1..63 plus 16): anything from 80 up is noise, which
        // would otherwise fill the table with aircraft that do not exist.
        const uint32_t parity = (uint32_t(msg[4]) << 16) | (uint32_t(msg[5]) << 8) | msg[6];  // 33-56: PI
        if ((static_cast<uint32_t>(CRC24_Bytes(msg, 4)) ^ parity) >= 80) {
            ++stats_.allcall_rejected;
            return;
        }
        trace_ += " All Call Reply";
        trace_ += kCrLf;
        EnterAircraft();
        DbRecord& e = Entry();
        if (e.Flight == "        ") e.Flight = "No-Call ";
    } else if (!is_short && DF == 17) {
        if (CRC24_Bytes(msg, 14) == 0) {
            trace_ += " Extended Squitter";
            trace_ += kCrLf;
            EnterAircraft();
            EvalExtendedSquitter(msg);
        } else {
            ++stats_.crc_rejected;
        }
    }
}

void Tracker::EvalExtendedSquitter(const uint8_t* msg) {
    const uint8_t* me = msg + 4;  // ME field: message bits 33-88
    TC = me[0] >> 3;              // ME 1-5: type code
    ++stats_.per_tc[TC];
    trace_ += kCrLf;
    trace_ += "TC";
    AppendTwoDigits(trace_, TC);

    if (TC == 4) {
        EvalIdentification(me);
    } else if (TC >= 5 && TC <= 8) {
        trace_ += " Surface Pos";
        // The overflow entry gathers several aircraft: halves of different ones would pair
        // into a position that belongs to none of them.
        if (Db.IcaoDbPointer(CurIcao) == -1) return;
        DbRecord& e = Entry();
        if (e.PosKind == "A") e.CprHeld[0] = e.CprHeld[1] = false;  // the other kind's halves
        e.PosKind = "S";
        CountPosition(EvalSurfPosition(Db, host_, msg, CurIcao, {now_, now_real_}));
    } else if (TC >= 9 && TC <= 18) {
        trace_ += " Airborne Pos Baro";
        if (Db.IcaoDbPointer(CurIcao) == -1) return;
        DbRecord& e = Entry();
        if (e.PosKind == "S") e.CprHeld[0] = e.CprHeld[1] = false;  // the other kind's halves
        e.PosKind = "A";
        CountPosition(EvalPosition(Db, host_, msg, CurIcao, {now_, now_real_}));
    } else if (TC == 19) {
        trace_ += " Airborne Velocity";
        EvalVelocity(me);
    } else if (TC >= 20 && TC <= 22) {
        trace_ += " Airborne Pos GNSS";
    }
}

void Tracker::EvalIdentification(const uint8_t* me) {
    trace_ += " Identification";
    // ME 9-56: eight 6-bit character codes.
    uint64_t bits = 0;
    for (int k = 1; k <= 6; ++k) bits = (bits << 8) | me[k];
    CurFlight.clear();
    for (int c = 0; c < 8; ++c) {
        const unsigned code = (bits >> (42 - 6 * c)) & 0x3F;
        if (code < 63) CurFlight += kIdCharset[code];
    }
    DbRecord& e = Entry();
    if (e.Flight != CurFlight) e.IataFlight.clear();
    e.Flight = CurFlight;
    if (e.IataFlight.empty()) {
        // The directory is consulted once per change of flight identification.
        const std::string designator = ICAOflight(CurFlight);
        std::string number = CurFlight.substr(designator.size());
        if (number.size() < 6) number.resize(6, ' ');
        e.IataFlight = airlines_.IATAofICAO(designator) + number;
        e.Airline = airlines_.AIRofICAO(designator);
    }
    trace_ += kCrLf;
    trace_ += CurFlight;
}

void Tracker::EvalVelocity(const uint8_t* me) {
    const int subtype = me[0] & 0x07;                        // ME 6-8
    const int field1 = ((me[1] & 0x03) << 8) | me[2];        // ME 15-24
    const int field2 = ((me[3] & 0x7F) << 3) | (me[4] >> 5); // ME 26-35
    const int scale = (subtype == 2 || subtype == 4) ? 4 : 1;  // supersonic: 4-knot steps
    // ME 37: vertical rate sign (set: down); ME 38-46: rate in 64 ft/min steps, 0 = none.
    if (subtype >= 1 && subtype <= 4) {
        if (const int vr = ((me[4] & 0x07) << 6) | (me[5] >> 2); vr != 0) {
            DbRecord& e = Entry();
            e.VertRate = (me[4] & 0x08) ? -(vr - 1) * 64 : (vr - 1) * 64;
            e.HasVertRate = true;
        }
    }
    if (subtype == 1 || subtype == 2) {
        // Ground speed and track from the east-west and north-south components; 0 = not
        // available. ME 14 set: the east-west component points west; ME 25 set: south.
        if (field1 == 0 || field2 == 0) return;
        const double ew = (field1 - 1) * scale, ns = (field2 - 1) * scale;
        DbRecord& e = Entry();
        e.Speed = static_cast<int32_t>(std::lround(std::sqrt(ew * ew + ns * ns)));
        const double east = (me[1] & 0x04) ? -ew : ew;
        const double north = (me[3] & 0x80) ? -ns : ns;
        if (east == 0.0 && north == 0.0) {
            e.Track = -1.0;
            return;
        }
        double track = std::atan2(east, north) * 180.0 / std::numbers::pi;
        if (track < 0.0) track += 360.0;
        e.Track = track;
    } else if (subtype == 3 || subtype == 4) {
        // Airspeed (indicated or true, ME 25), the best this message offers.
        if (field2 == 0) return;
        Entry().Speed = (field2 - 1) * scale;
    }
}

void Tracker::CountPosition(const PosResult& r) {
    if (r.pair_refused) ++stats_.refused_pairs;
    if (r.lone_fix) ++stats_.lone_fixes;
    if (r.lone_too_far) ++stats_.lone_too_far;
    if (r.beyond_range) ++stats_.beyond_range;
    if (r.too_fast) ++stats_.too_fast;
    if (r.outcome == PosOutcome::Stored) ++stats_.positions;
    else if (r.outcome == PosOutcome::NlMismatch) ++stats_.nl_mismatch;
    else if (r.outcome == PosOutcome::Rejected) ++stats_.rejected_decodes;
}

}  // namespace ternwick
