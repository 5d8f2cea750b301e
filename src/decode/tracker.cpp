#include "tracker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "frame_bytes.h"
#include "reply_fields.h"

namespace ternwick {

namespace {

constexpr char kCrLf[] = "\r\n";

// 6-bit identification codes: space, A-Z, 21 spaces, 0-9, 5 spaces; code 63 adds nothing.
constexpr char kIdCharset[] = " ABCDEFGHIJKLMNOPQRSTUVWXYZ                     0123456789     ";
static_assert(sizeof(kIdCharset) - 1 == 63);

#if defined(__SSE2__)
// Sixteen characters at once: bit i of *valid set when character i is 0-9 or A-F, and the
// eight bytes the pairs stand for in the low half of the result (bytes from 0x80 compare
// as negative, so they are no digit).
__m128i HexPairs(__m128i v, int* valid) {
    const __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('0' - 1)), _mm_cmplt_epi8(v, _mm_set1_epi8('9' + 1)));
    const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('A' - 1)), _mm_cmplt_epi8(v, _mm_set1_epi8('F' + 1)));
    *valid = _mm_movemask_epi8(_mm_or_si128(digit, letter));
    // Value of each digit: c - '0', and 7 less for a letter ('A' - '0' is 17, A is 10).
    const __m128i value = _mm_sub_epi8(_mm_sub_epi8(v, _mm_set1_epi8('0')), _mm_and_si128(letter, _mm_set1_epi8(7)));
    // Each 16-bit lane holds a pair, high digit in its low byte: high * 16 + low.
    const __m128i byte = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(value, _mm_set1_epi16(0x00FF)), 4), _mm_srli_epi16(value, 8));
    return _mm_packus_epi16(byte, byte);
}
#endif

// Hand-over check: exactly 14 or 28 characters, all 0-9 or A-F; fills the bytes. The
// characters (at most 28) are copied to `copy`, which has room for 32, on the way.
bool ParseSquitter(std::string_view digits, char* copy, uint8_t* out) {
    const size_t n = digits.size();
    if (n != 14 && n != 28) {
        std::memcpy(copy, digits.data(), std::min<size_t>(n, 28));
        return false;
    }
    const char* d = digits.data();
#if defined(__SSE2__)
    // One comparison per sixteen characters instead of a table look-up per character: the
    // conversion was the largest single cost of a message. The characters are loaded where
    // they lie, never a byte past the last (the last block ends at the last character and is
    // shifted into place), and the copy is written from the registers: reading them back
    // from a copy just written in smaller pieces made the processor wait for the stores.
    int valid0 = 0, valid1 = 0;
    if (n == 14) {
        const __m128i head = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(d));      // 0-7
        const __m128i tail = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(d + 6));  // 6-13
        const __m128i v = _mm_unpacklo_epi64(head, _mm_srli_epi64(tail, 16));           // 0-13, two zeros
        _mm_storeu_si128(reinterpret_cast<__m128i*>(copy), v);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), HexPairs(v, &valid0));  // 7 bytes and one spare
        return (valid0 & 0x3FFF) == 0x3FFF;
    }
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));  // 0-15
    const __m128i v1 = _mm_srli_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 12)), 4);  // 16-27, four zeros
    _mm_storeu_si128(reinterpret_cast<__m128i*>(copy), v0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(copy + 16), v1);
    const __m128i b0 = HexPairs(v0, &valid0), b1 = HexPairs(v1, &valid1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi64(b0, b1));  // 14 bytes and two spare
    return valid0 == 0xFFFF && (valid1 & 0x0FFF) == 0x0FFF;
#else
    // Value of each character as an upper-case hex digit, -1 for any other: a table,
    // because a comparison chain mispredicts on every message.
    static constexpr std::array<int8_t, 256> kHexValue = [] {
        std::array<int8_t, 256> t{};
        for (int c = 0; c < 256; ++c) t[c] = static_cast<int8_t>(c >= 'a' ? -1 : HexDigitValue(static_cast<char>(c)));
        return t;
    }();
    std::memcpy(copy, d, n);
    int bad = 0;
    for (size_t k = 0; k < n / 2; ++k) {
        const int h = kHexValue[static_cast<uint8_t>(d[2 * k])];
        const int l = kHexValue[static_cast<uint8_t>(d[2 * k + 1])];
        bad |= h | l;  // negative once any digit is not one
        out[k] = static_cast<uint8_t>(h * 16 + l);
    }
    return bad >= 0;
#endif
}

// Ground speed (nearest knot) and track (degrees clockwise from true north, 0 <= track < 360;
// -1 standing still) of a velocity's east and north components, knots.
GroundMotion GroundMotionOf(double east, double north) {
    GroundMotion g{static_cast<int32_t>(std::lround(std::sqrt(east * east + north * north))), -1.0};
    if (east == 0.0 && north == 0.0) return g;
    g.track = std::atan2(east, north) * 180.0 / std::numbers::pi;
    if (g.track < 0.0) g.track += 360.0;
    return g;
}

}  // namespace

void TraceText::Squawk(int squawk) {
    if (!on_) return;
    char text[16];
    std::snprintf(text, sizeof text, "Squawk %04d", squawk);
    text_ += text;
}

Tracker::Tracker(TrackerHost& host, const AirlineDirectory& airlines) : host_(host), airlines_(airlines) {
    for (int i = 0; i <= FlightTable::kLast; ++i) Db.InitDbPos(i);
}

std::string Tracker::StatusText() const {
    std::string out = "Flights in range: " + std::to_string(Db.InUse()) + kCrLf + "Flights with pos: " +
                      std::to_string(Db.WithPosition()) + kCrLf;
    // An aircraft in emergency is what a user most needs to see: one line each.
    for (int i = 0; i <= FlightTable::kLast; ++i) {
        const DbRecord& e = Db(i);
        if (e.Icao.empty() || !e.InEmergency()) continue;
        out += "EMERGENCY ";
        if (e.Squawk >= 0) {
            char sq[8];
            std::snprintf(sq, sizeof sq, "%04d ", e.Squawk);
            out += sq;
        }
        std::string name = e.Flight;
        while (!name.empty() && name.back() == ' ') name.pop_back();
        out += (name.empty() || name == "No-Call") ? e.Icao : name;
        out += kCrLf;
    }
    return out;
}

void Tracker::EnterAircraft(uint32_t key) {
    if (key != cur_key_ || CurIcao.empty()) {
        // Written in place, a byte's two digits at a time: this runs for most squitters.
        static constexpr auto kDigitPairs = [] {
            std::array<std::array<char, 2>, 256> t{};
            for (int b = 0; b < 256; ++b) t[b] = {"0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 0xF]};
            return t;
        }();
        cur_key_ = key;
        const bool other = key & kNonIcaoFlag;
        CurIcao.resize(other ? 7 : 6);
        char* p = CurIcao.data();
        if (other) *p++ = '~';
        for (int shift = 16; shift >= 0; shift -= 8, p += 2) std::memcpy(p, kDigitPairs[(key >> shift) & 0xFF].data(), 2);
    }
    trace_ += (key & kNonIcaoFlag) ? "Address " : "ICAO ";
    trace_ += CurIcao;
    if (Db.Find(key) == -1) {
        NewDbPos = Db.AvailDb();
        if (NewDbPos == -1) ++stats_.table_full;
        if (NewDbPos != -1) {
            Db.SetKey(NewDbPos, key);
            DbRecord& e = Db(NewDbPos);
            e.Flight.assign(8, ' ');
            e.PosKind = "-";
        }
    }
    DbRecord& e = Entry();
    e.LastHeard = stamp_;
    e.HeardAt = now_;
    ++e.Messages;
}

void Tracker::EvalSquitter() { EvalMessage(Squitter); }

void Tracker::EvalSquitter(double now) { EvalMessage(Squitter, now); }

void Tracker::EvalMessage(std::string_view digits) {
    now_ = host_.NowSeconds();
    stamp_ = static_cast<int16_t>(host_.SecondsInHour());
    Evaluate(digits);
}

void Tracker::EvalMessage(std::string_view digits, double now) {
    now_ = now;
    // floor(now) without the library call: truncation, one less for a negative fraction.
    int64_t whole = static_cast<int64_t>(now);
    if (static_cast<double>(whole) > now) --whole;
    const int64_t s = whole % 3600;
    stamp_ = static_cast<int16_t>(s < 0 ? s + 3600 : s);
    Evaluate(digits);
}

void Tracker::Evaluate(std::string_view digits) {
    uint8_t msg[16];  // 7 or 14 bytes, and room for whole blocks
    ++stats_.messages;
    now_real_ = host_.MessageTimesReal();
    // Kept for whoever asks later, in place of a string assigned for every message; the
    // conversion writes it in whole blocks.
    last_len_ = std::min(digits.size(), kMaxDigits);
    if (!ParseSquitter(digits, last_, msg)) {
        ++stats_.malformed;
        return;
    }
    const bool is_short = digits.size() == 14;

    DF = msg[0] >> 3;  // bits 1-5: downlink format
    ++stats_.per_df[DF];
    trace_.Start(digits);
    trace_ += kCrLf;
    trace_ += "DF";
    trace_.TwoDigits(DF);

    if (is_short && DF == 11) {
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
        EnterAircraft((uint32_t(msg[1]) << 16) | (uint32_t(msg[2]) << 8) | msg[3]);  // 9-32: AA
        DbRecord& e = Entry();
        if (e.Flight == "        ") e.Flight = "No-Call ";
    } else if (!is_short && (DF == 17 || DF == 18)) {
        EvalExtended(msg);
    } else {
        EvalReply(msg, is_short);
    }
}

void Tracker::EvalExtended(uint8_t* msg) {
    uint32_t syndrome = Syndrome112(msg);
    int repaired = -1;
    if (syndrome != 0 && fix_bits_ > 0) {
        repaired = SingleBitErrorPosition(syndrome);
        if (repaired >= 0) {
            msg[repaired / 8] ^= static_cast<uint8_t>(0x80 >> (repaired % 8));
            syndrome = 0;
            ++stats_.repaired;
        }
    }
    if (syndrome != 0) {
        ++stats_.crc_rejected;
        return;
    }
    uint32_t key = (uint32_t(msg[1]) << 16) | (uint32_t(msg[2]) << 8) | msg[3];  // 9-32: AA
    int8_t source = kSourceAdsb;
    if (DF == 17) {
        trace_ += " Extended Squitter";
    } else {
        // DF18, bits 6-8: CF, what sent it and whether the address is an ICAO one.
        switch (msg[0] & 0x07) {
            case 0: trace_ += " Extended Squitter (ADS-B)"; break;
            case 1: trace_ += " Extended Squitter (ADS-B, other address)"; key |= kNonIcaoFlag; break;
            case 2: trace_ += " Extended Squitter (TIS-B)"; source = kSourceTisb; break;
            case 5: trace_ += " Extended Squitter (TIS-B, other address)"; source = kSourceTisb; key |= kNonIcaoFlag; break;
            case 6: trace_ += " Extended Squitter (ADS-R)"; source = kSourceAdsr; break;
            default:  // coarse TIS-B, TIS-B management, reserved: another layout
                trace_ += " Extended Squitter (CF";
                trace_ += static_cast<char>('0' + (msg[0] & 0x07));
                trace_ += " not decoded)";
                return;
        }
    }
    trace_ += kCrLf;
    if (repaired >= 0) {
        trace_ += "Bit ";
        trace_.Number(repaired + 1);
        trace_ += " repaired";
        trace_ += kCrLf;
    }
    EnterAircraft(key);
    Entry().Source = source;
    EvalExtendedSquitter(msg);
}

void Tracker::EvalExtendedSquitter(const uint8_t* msg) {
    const uint8_t* me = msg + 4;  // ME field: message bits 33-88
    TC = me[0] >> 3;              // ME 1-5: type code
    ++stats_.per_tc[TC];
    trace_ += kCrLf;
    trace_ += "TC";
    trace_.TwoDigits(TC);

    if (TC == 0) {
        // No position, but ME 9-20 may still hold the barometric altitude (0: none).
        const uint32_t ac12 = (uint32_t(me[1]) << 4) | (me[2] >> 4);
        int32_t feet = 0;
        if (ac12 != 0 && AltitudeFromAc12(ac12, feet)) {
            DbRecord& e = Entry();
            e.Altitude = feet;
            e.HasAltitude = true;
            trace_ += " Altitude Only";
            trace_ += kCrLf;
            trace_ += "Altitude ";
            trace_.Number(feet);
            trace_ += " ft";
        }
    } else if (TC >= 1 && TC <= 4) {
        // Type codes 1 to 3 are identification too (sets D to B of emitter categories:
        // gliders, balloons, ground vehicles...); their trace stays the bare type code.
        EvalIdentification(me);
    } else if (TC >= 5 && TC <= 8) {
        trace_ += " Surface Pos";
        // The overflow entry gathers several aircraft: halves of different ones would pair
        // into a position that belongs to none of them.
        if (Db.Find(cur_key_) == -1) return;
        DbRecord& e = Entry();
        if (e.PosKind != "S") {  // (an assignment for every position cost as much as its check)
            if (e.PosKind == "A") e.CprHeld[0] = e.CprHeld[1] = false;  // the other kind's halves
            e.PosKind = "S";
        }
        CountPosition(EvalSurfPosition(Db, host_, msg, Db.Find(cur_key_), {now_, now_real_}));
    } else if (TC >= 9 && TC <= 18) {
        trace_ += " Airborne Pos Baro";
        if (Db.Find(cur_key_) == -1) return;
        DbRecord& e = Entry();
        if (e.PosKind != "A") {  // (an assignment for every position cost as much as its check)
            if (e.PosKind == "S") e.CprHeld[0] = e.CprHeld[1] = false;  // the other kind's halves
            e.PosKind = "A";
        }
        CountPosition(EvalPosition(Db, host_, msg, Db.Find(cur_key_), {now_, now_real_}));
    } else if (TC == 19) {
        trace_ += " Airborne Velocity";
        EvalVelocity(me);
    } else if (TC >= 20 && TC <= 22) {
        trace_ += " Airborne Pos GNSS";
    } else if (TC == 23 && (me[0] & 0x07) == 7) {
        // A test message of subtype 7 carries the Mode A code in ME 9-21 (0: none).
        const uint32_t id13 = ((uint32_t(me[1]) << 5) | (me[2] >> 3)) & 0x1FFF;
        trace_ += " Test Squawk";
        if (id13 != 0) {
            DbRecord& e = Entry();
            e.Squawk = static_cast<int16_t>(SquawkFromId13(id13));
            trace_ += kCrLf;
            trace_.Squawk(e.Squawk);
        }
    } else if (TC == 28) {
        EvalAircraftStatus(me);
    } else if (TC == 29) {
        EvalTargetState(me);
    } else if (TC == 31) {
        EvalOperationalStatus(me);
    }
}

void Tracker::EvalIdentification(const uint8_t* me) {
    if (TC == 4) trace_ += " Identification";
    // ME 9-56: eight 6-bit character codes.
    uint64_t bits = 0;
    for (int k = 1; k <= 6; ++k) bits = (bits << 8) | me[k];
    CurFlight.clear();
    for (int c = 0; c < 8; ++c) {
        const unsigned code = (bits >> (42 - 6 * c)) & 0x3F;
        if (code < 63) CurFlight += kIdCharset[code];
    }
    DbRecord& e = Entry();
    SetFlight(e, CurFlight);
    e.FlightFromEs = true;
    // ME 6-8: emitter category within the set the type code names (4: A ... 1: D).
    e.Category = static_cast<uint8_t>(((0x0E - TC) << 4) | (me[0] & 0x07));
    if (TC != 4) return;
    trace_ += kCrLf;
    trace_ += CurFlight;
}

void Tracker::SetFlight(DbRecord& e, const std::string& flight) {
    if (e.Flight != flight) e.IataFlight.clear();
    e.Flight = flight;
    if (e.IataFlight.empty()) {
        // The directory is consulted once per change of flight identification.
        const std::string designator = ICAOflight(flight);
        std::string number = flight.substr(designator.size());
        if (number.size() < 6) number.resize(6, ' ');
        e.IataFlight = airlines_.IATAofICAO(designator) + number;
        e.Airline = airlines_.AIRofICAO(designator);
    }
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
        const uint32_t vector = (uint32_t(scale == 4) << 22) | (uint32_t(me[1] & 0x04) << 19) |
                                (uint32_t(field1) << 11) | (uint32_t(me[3] & 0x80) << 3) | uint32_t(field2);
        const GroundMotion& g = motions_.Of(vector, [&] {
            const double ew = (field1 - 1) * scale, ns = (field2 - 1) * scale;
            return GroundMotionOf((me[1] & 0x04) ? -ew : ew, (me[3] & 0x80) ? -ns : ns);
        });
        DbRecord& e = Entry();
        e.Speed = g.speed;
        e.Track = g.track;
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
    if (r.outcome == PosOutcome::Stored) {
        ++stats_.positions;
        host_.PositionStored(Db.Find(cur_key_));
    }
    else if (r.outcome == PosOutcome::NlMismatch) ++stats_.nl_mismatch;
    else if (r.outcome == PosOutcome::Rejected) ++stats_.rejected_decodes;
}

}  // namespace ternwick
