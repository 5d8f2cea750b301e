// The replies whose parity is overlaid with the sender's address (DF0, DF4, DF5, DF16, DF20,
// DF21), and the extended squitter messages about the aircraft rather than its movement
// (TC 28, 29, 31). Fields per ICAO Annex 10 Vol IV and DO-260B; message bits 1..112.
#include <cmath>
#include <cstdio>

#include "frame_bytes.h"
#include "reply_fields.h"
#include "tracker.h"

namespace ternwick {

namespace {

constexpr char kCrLf[] = "\r\n";

const char* const kFlightStatus[8] = {"airborne",   "on the ground", "alert, airborne", "alert, on the ground",
                                      "alert, SPI", "SPI",           "FS6",             "FS7"};
const char* const kEmergency[8] = {"none",      "general",          "medical",        "minimum fuel",
                                   "no radio",  "unlawful interference", "downed aircraft", "reserved"};

}  // namespace

bool Tracker::AcceptAddressParity(const uint8_t* msg, size_t n) {
    // The parity field is the CRC of the rest XOR the address. A transponder only replies
    // when interrogated: one heard neither in an all-call reply nor in an extended squitter
    // lately is taken for noise.
    const uint8_t* pi = msg + n - 3;
    const uint32_t parity = (uint32_t(pi[0]) << 16) | (uint32_t(pi[1]) << 8) | pi[2];  // last 24 bits: AP
    const uint32_t address = static_cast<uint32_t>(CRC24_Bytes(msg, n - 3)) ^ parity;
    const int16_t i = Db.Find(address);
    if (i < 0 || !(now_ - Db(i).HeardAt <= kHeardWindowSeconds)) {
        ++stats_.ap_refused;
        trace_ += "Unknown address ";
        trace_.Address(address);
        return false;
    }
    ++stats_.ap_accepted;
    if (address != cur_key_ || CurIcao.empty()) {  // the text is the table's, made once
        cur_key_ = address;
        CurIcao = Db(i).Icao;
    }
    trace_ += "ICAO ";
    trace_ += CurIcao;
    Db(i).LastHeard = stamp_;
    return true;
}

void Tracker::EvalReply(const uint8_t* msg, bool is_short) {
    const char* name = nullptr;
    bool altitude = false;  // bits 20-32: AC (else ID)
    if (is_short) {
        switch (DF) {
            case 0: name = " Short ACAS"; altitude = true; break;
            case 4: name = " Surveillance Altitude Reply"; altitude = true; break;
            case 5: name = " Surveillance Identity Reply"; break;
        }
    } else {
        switch (DF) {
            case 16: name = " Long ACAS"; altitude = true; break;
            case 20: name = " Comm-B Altitude Reply"; altitude = true; break;
            case 21: name = " Comm-B Identity Reply"; break;
        }
    }
    if (!name) return;  // no such format of this length: traced as "DFnn" only
    trace_ += name;
    trace_ += kCrLf;
    if (!AcceptAddressParity(msg, is_short ? 7 : 14)) return;

    DbRecord& e = Entry();
    const uint32_t code13 = ((uint32_t(msg[2]) & 0x1F) << 8) | msg[3];  // 20-32: AC or ID
    trace_ += kCrLf;
    if (altitude) {
        int32_t feet = 0;
        if (AltitudeFromAc13(code13, feet)) {
            e.Altitude = feet;
            e.HasAltitude = true;
            trace_ += "Altitude ";
            trace_.Number(feet);
            trace_ += " ft";
        } else {
            trace_ += "Altitude not valid";
        }
    } else {
        e.Squawk = static_cast<int16_t>(SquawkFromId13(code13));
        trace_.Squawk(e.Squawk);
    }
    if (DF == 4 || DF == 5 || DF == 20 || DF == 21) {
        e.FlightStatus = static_cast<int8_t>(msg[0] & 0x07);  // 6-8: FS
        trace_ += kCrLf;
        trace_ += "Status ";
        trace_ += kFlightStatus[e.FlightStatus];
    }
    if (DF == 20 || DF == 21) EvalCommB(msg + 4);  // 33-88: MB
}

void Tracker::EvalCommB(const uint8_t* mb) {
    trace_ += kCrLf;
    std::string callsign;
    if (!CommBIdentification(mb, callsign)) {
        // Other registers cannot be told apart from the field alone: not guessed at.
        trace_ += "Comm-B";
        return;
    }
    trace_ += "Comm-B Identification";
    trace_ += kCrLf;
    trace_ += callsign;
    DbRecord& e = Entry();
    if (!e.FlightFromEs) SetFlight(e, callsign);  // an extended squitter's own word wins
}

void Tracker::EvalAircraftStatus(const uint8_t* me) {
    const int subtype = me[0] & 0x07;  // ME 6-8
    if (subtype == 2) {
        trace_ += " ACAS RA";
        return;
    }
    if (subtype != 1) return;
    DbRecord& e = Entry();
    e.Emergency = static_cast<int8_t>(me[1] >> 5);                                // ME 9-11
    e.Squawk = static_cast<int16_t>(SquawkFromId13(((uint32_t(me[1]) & 0x1F) << 8) | me[2]));  // ME 12-24
    trace_ += " Emergency Status";
    trace_ += kCrLf;
    trace_.Squawk(e.Squawk);
    trace_ += kCrLf;
    trace_ += "Emergency ";
    trace_ += kEmergency[e.Emergency];
}

void Tracker::EvalTargetState(const uint8_t* me) {
    trace_ += " Target State";
    if (((me[0] >> 1) & 0x03) != 1) return;  // ME 6-7: only the DO-260B layout is read
    DbRecord& e = Entry();
    // ME 11-21: selected altitude, 32-ft steps plus 1 (0: none).
    const int alt = ((me[1] & 0x3F) << 5) | (me[2] >> 3);
    if (alt != 0) {
        e.SelAltitude = (alt - 1) * 32;
        trace_ += kCrLf;
        trace_ += "Selected altitude ";
        trace_.Number(e.SelAltitude);
        trace_ += " ft";
    }
    // ME 31: heading valid; ME 32-40: selected heading in 180/256-degree steps.
    if (me[3] & 0x02) {
        e.SelHeading = (((me[3] & 0x01) << 8) | me[4]) * (180.0 / 256.0);
        trace_ += kCrLf;
        trace_ += "Selected heading ";
        trace_.Number(std::lround(e.SelHeading) % 360);
    }
}

void Tracker::EvalOperationalStatus(const uint8_t* me) {
    const int subtype = me[0] & 0x07;  // ME 6-8: 0 airborne, 1 surface
    if (subtype > 1) return;
    trace_ += " Operational Status";
    DbRecord& e = Entry();
    e.AdsbVersion = static_cast<int8_t>(me[5] >> 5);  // ME 41-43
    // ME 9-24 airborne; ME 9-20 on the surface (the length and width code follows).
    e.Capability = subtype == 0 ? static_cast<uint16_t>((me[1] << 8) | me[2])
                                : static_cast<uint16_t>((me[1] << 4) | (me[2] >> 4));
    trace_ += kCrLf;
    trace_ += "ADS-B version ";
    trace_ += static_cast<char>('0' + e.AdsbVersion);
}

}  // namespace ternwick
