// Tracker: owns the evaluation state (Squitter, DF, CurIcao, NewDbPos, TC, CurFlight) and
// the flight table Db, and evaluates one message at a time with EvalSquitter. It builds
// the per-message trace (RxText) and the counts (StatusText) that a window shows.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "airlines/airline_directory.h"
#include "cpr/position.h"
#include "flights/flight_table.h"

namespace ternwick {

// What the evaluation needs from outside: position plotting and the current map (see
// PositionHost), and the clock as seconds within the hour (0..3599).
class TrackerHost : public PositionHost {
public:
    virtual int SecondsInHour() const = 0;
    // The session's running count of seconds (UTC seconds since 1970 on the wall clock),
    // read once per message; a host without a clock of its own counts within the hour.
    virtual double NowSeconds() const { return SecondsInHour(); }
    // Whether those seconds are when the message was received (live reception, a recording
    // with time stamps) rather than when a replay read it: rules that measure speed need it.
    virtual bool MessageTimesReal() const { return false; }
    // Told after every position stored in entry dbpos, plotted or not (range, coverage).
    virtual void PositionStored(int16_t /*dbpos*/) {}
};

// The trace of one message, written only while something shows it (the window, --trace):
// most runs never look at it, and making its text was a quarter of the work of a message.
// Every append checks the one flag, so the evaluation reads as if it always wrote.
class TraceText {
public:
    void SetShown(bool on) {
        on_ = on;
        if (!on) text_.clear();
    }
    bool shown() const { return on_; }
    const std::string& text() const { return text_; }

    // A new message: its digits are the first line.
    void Start(std::string_view digits) {
        if (on_) text_.assign(digits);
    }
    TraceText& operator+=(std::string_view s) {
        if (on_) text_ += s;
        return *this;
    }
    TraceText& operator+=(char c) {
        if (on_) text_ += c;
        return *this;
    }
    void Number(long v) {
        if (on_) text_ += std::to_string(v);
    }
    void TwoDigits(int v) {  // 0..99, with a leading zero
        if (!on_) return;
        text_ += static_cast<char>('0' + v / 10);
        text_ += static_cast<char>('0' + v % 10);
    }
    void Address(uint32_t key) {
        if (on_) AppendAddressText(text_, key);
    }
    void Squawk(int squawk);  // "Squawk 7700"

private:
    std::string text_;
    bool on_ = true;
};

// Ground speed (nearest knot) and track (degrees, -1 standing still) of one velocity vector.
struct GroundMotion {
    int32_t speed = 0;
    double track = -1.0;
};

// Ground motions remembered by the vector they came from (its 23 bits as sent: supersonic,
// both signs, both components). Most velocity messages repeat their aircraft's last vector,
// and the square root, arc tangent and rounding were a tenth of the work of a message.
class GroundMotionMemo {
public:
    template <class Compute>
    const GroundMotion& Of(uint32_t vector, Compute compute) {
        Slot& s = slots_[(vector ^ (vector >> 11)) % kSlots];
        if (s.vector != vector) {
            s.vector = vector;
            s.motion = compute();
        }
        return s.motion;
    }

private:
    static constexpr size_t kSlots = 512;
    struct Slot {
        uint32_t vector = 0xFFFFFFFFu;  // none
        GroundMotion motion;
    };
    std::array<Slot, kSlots> slots_{};
};

struct TrackerStats {
    uint64_t messages = 0;          // EvalSquitter calls
    uint64_t per_df[32] = {};
    uint64_t per_tc[32] = {};       // valid extended squitters by type code
    uint64_t crc_rejected = 0;      // 28-digit DF17/DF18 with a remainder other than 0 (after repair)
    uint64_t repaired = 0;          // DF17/DF18 with one wrong bit put right
    uint64_t ap_accepted = 0;       // address/parity replies from an aircraft heard recently
    uint64_t ap_refused = 0;        // and from any other address
    uint64_t allcall_rejected = 0;  // DF11 whose remainder cannot be an interrogator code
    uint64_t positions = 0;         // positions stored
    uint64_t nl_mismatch = 0;
    uint64_t rejected_decodes = 0;  // checked pairs half a zone or more away, held for a second
    uint64_t refused_pairs = 0;     // pairs whose reports disagreed or came in too far apart
    // With a receiver position:
    uint64_t lone_fixes = 0;        // positions from a single report decoded next to the receiver
    uint64_t lone_too_far = 0;      // single reports that lay beyond where that decode is sure
    uint64_t beyond_range = 0;      // checked pairs farther than the maximum range
    uint64_t too_fast = 0;          // fixes that needed more than a plausible speed
    uint64_t malformed = 0;         // Squitter not 14/28 hex digits: ignored
    uint64_t table_full = 0;        // messages of an aircraft the full table had no entry for
};

class Tracker {
public:
    Tracker(TrackerHost& host, const AirlineDirectory& airlines);

    // State shared with the input side and the display, under their established names.
    std::string Squitter;
    int16_t DF = 0;
    std::string CurIcao;
    int16_t NewDbPos = 0;
    int16_t TC = 0;
    std::string CurFlight;
    FlightTable Db;

    // Evaluates the message in Squitter (14 or 28 upper-case hex digits). Anything else
    // is ignored and counted as malformed. Without a time the message is taken as received
    // now by the host's clock; with one (the session's running seconds) it is judged by that
    // time: the seconds within the hour it stamps are that time's.
    void EvalSquitter();
    void EvalSquitter(double now);
    // The same for digits handed over directly (the byte pump's way): Squitter is left as
    // it is, and the digits are read where they lie.
    void EvalMessage(std::string_view digits);
    void EvalMessage(std::string_view digits, double now);
    // The digits of the message evaluated last (at most 28), however it was handed over.
    std::string_view LastMessage() const { return {last_, last_len_}; }
    // The host's clock now, for a source that stamps what it receives.
    double HostNow() const { return host_.NowSeconds(); }

    // The table key of CurIcao (kNoAddress before the first aircraft).
    uint32_t CurKey() const { return cur_key_; }

    // Trace of the last message, lines separated by CR LF; empty while not shown.
    const std::string& RxText() const { return trace_.text(); }
    // Whether anything shows the trace (on unless told otherwise).
    void SetTraceShown(bool on) { trace_.SetShown(on); }
    bool TraceShown() const { return trace_.shown(); }
    // "Flights in range: n" CR LF "Flights with pos: m" CR LF (computed on demand).
    std::string StatusText() const;

    const TrackerStats& stats() const { return stats_; }

    // How many wrong bits of an extended squitter (DF17, DF18) are put right: 1 (the
    // default) or 0 (none).
    void SetFixBits(int n) { fix_bits_ = n; }

    // An address/parity reply counts only from an aircraft heard in an all-call reply or an
    // extended squitter this recently (seconds): noise gives every remainder.
    static constexpr double kHeardWindowSeconds = 60.0;

    // When the message being evaluated was received, in the host's running seconds. Every
    // rule that depends on time reads this one value, so a message is judged by its own time.
    double Now() const { return now_; }
    // Whether Now() is when the message was received (see TrackerHost::MessageTimesReal).
    bool NowIsReal() const { return now_real_; }

private:
    void StampTime(double now);
    void Evaluate(std::string_view digits);
    void EnterAircraft(uint32_t key);
    void EvalExtended(uint8_t* msg);
    void EvalExtendedSquitter(const uint8_t* msg);
    void EvalIdentification(const uint8_t* me);
    void SetFlight(DbRecord& e, const std::string& flight);
    void EvalVelocity(const uint8_t* me);
    void EvalAircraftStatus(const uint8_t* me);
    void EvalTargetState(const uint8_t* me);
    void EvalOperationalStatus(const uint8_t* me);
    void CountPosition(const PosResult& r);
    // Address/parity replies (replies.cpp).
    bool AcceptAddressParity(const uint8_t* msg, size_t n);
    void EvalReply(const uint8_t* msg, bool is_short);
    void EvalCommB(const uint8_t* mb);
    DbRecord& Entry() { return Db(Db.Find(cur_key_)); }

    TrackerHost& host_;
    const AirlineDirectory& airlines_;
    TraceText trace_;
    TrackerStats stats_;
    GroundMotionMemo motions_;
    double now_ = 0;
    uint32_t cur_key_ = kNoAddress;
    int fix_bits_ = 1;
    bool now_real_ = false;
    int16_t stamp_ = 0;  // seconds within the hour of now_, for LastHeard
    static constexpr size_t kMaxDigits = 28;
    char last_[32] = {};  // the digits, then room for writing them in blocks of sixteen
    size_t last_len_ = 0;
};

}  // namespace ternwick
