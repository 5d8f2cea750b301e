// The flight table: one DbRecord per tracked aircraft, indices -1..500.
// Entries 0..500 are tracked (free while Icao is empty); -1 is the overflow entry that
// absorbs updates for an aircraft with no entry. Lookups are indexed but answer exactly
// what a lowest-index-first linear scan would.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace ternwick {

// The table's key: the 24-bit address, with kNonIcaoFlag set for an address that is not an
// ICAO one (a TIS-B or ADS-B target with another kind of address), so that such a target and
// an aircraft with the same 24 bits are two entries. kNoAddress: no key (a free entry).
inline constexpr uint32_t kNonIcaoFlag = 1u << 24;
inline constexpr uint32_t kNoAddress = 0xFFFFFFFFu;

// The text an address is shown by: six upper-case hex digits, "~" in front when not ICAO.
std::string AddressText(uint32_t key);
// The same, appended to s (no string of its own: the decoder does this for every message).
void AppendAddressText(std::string& s, uint32_t key);
// The key of such a text; kNoAddress for any other text (lower case, other lengths).
uint32_t AddressKey(std::string_view text);

struct DbRecord {
    std::string Icao;        // AddressText of the key ("~" + 6 hex digits when not ICAO); empty = free entry
    std::string Flight;      // 8 characters once known
    std::string IataFlight;  // IATA code + flight number; empty = not yet worked out
    // The airline's name as the directory holds it: a view, not a copy per entry (the
    // directory is read once at start-up and outlives the table).
    std::string_view Airline;
    int16_t LastHeard = 0;   // seconds within the hour, 0..3599
    std::string PosKind;     // "-" none yet, "A" airborne, "S" surface
    int32_t CprLon[2] = {0, 0};  // raw 17-bit reports, [0] even, [1] odd
    int32_t CprLat[2] = {0, 0};   // (CprHeld below says which are held)
    int32_t Altitude = 0;    // feet
    int32_t Speed = 0;       // knots
    double Lon = 0.0;        // degrees east, 0..360 airborne
    double Lat = 0.0;        // degrees north, negative south (HasPos below: there is one)
    int16_t PlotX = 0;       // where last plotted on the current map; 0,0 = not yet
    int16_t PlotY = 0;

    // Flags of their own, never raw values of 0: a raw CPR value of 0 is a real report (the
    // equator, a pole, every even-zone boundary), and 0, 0 is a place too.
    bool CprHeld[2] = {false, false};  // a report of this format is held
    bool HasPos = false;               // Lat/Lon hold a decoded position

    // Position checks (cpr/position.cpp).
    int16_t CprHeard[2] = {0, 0};  // seconds within the hour each held report came in
    int16_t PosHeard = 0;          // and the report that gave Lat/Lon
    // A checked pair far from the stored position is held here; a second one agreeing with
    // it, made of later reports, is believed (the aircraft really is there).
    bool HasCandidate = false;
    double CandLat = 0.0;
    double CandLon = 0.0;
    bool CandSpent[2] = {false, false};  // the held report of this format made the candidate
    // With a receiver position: the position came from one report decoded next to the
    // receiver, and the first checked pair confirms or replaces it.
    bool Provisional = false;
    // When the position was stored, in the session's running seconds, and whether that
    // time is when the report was received (live, or a time-stamped recording).
    double FixTime = 0.0;
    bool FixTimed = false;

    // Direction of travel over the ground from the last airborne velocity message that gave
    // both components: degrees clockwise from true north, 0 <= Track < 360; negative while
    // none has been heard (or the aircraft stood still).
    double Track = -1.0;
    // Climb (positive) or descent in feet a minute from the last airborne velocity message
    // that carried one.
    int32_t VertRate = 0;
    bool HasVertRate = false;
    // Messages of this aircraft evaluated since it entered the table.
    uint32_t Messages = 0;

    // What the other replies and extended squitter messages tell (ICAO Annex 10 Vol IV,
    // DO-260B). Each has a value meaning "not heard".
    double HeardAt = -1e18;     // Tracker::Now() of the last DF11/17/18 from this address
    int16_t Squawk = -1;        // Mode A code as four octal digits read as decimal (7700), -1 none
    int8_t Emergency = 0;       // TC 28/1 emergency state, 0 none, 1..7 as sent
    int8_t FlightStatus = -1;   // FS of DF4/5/20/21, 0..7; -1 none
    bool FlightFromEs = false;  // Flight came from an extended squitter (Comm-B gives way to it)
    int32_t SelAltitude = -1;   // selected altitude, feet (TC 29), -1 none
    double SelHeading = -1.0;   // selected heading, degrees (TC 29), negative none
    int8_t AdsbVersion = -1;    // TC 31 ADS-B version number, -1 none
    uint16_t Capability = 0;    // TC 31 capability class bits as sent
    int8_t Source = 0;          // where extended squitters came from: 0 none, else EsSource
    // Emitter category of the last identification message (TC 1-4): the set as a hex digit
    // (A for type code 4 down to D for type code 1) and the category, 0xA1 light aircraft,
    // 0xA7 rotorcraft, 0xB1 glider...; 0 none heard.
    uint8_t Category = 0;

    uint32_t Key = kNoAddress;  // the address as the table looks it up (set with SetIcao/SetKey)
    bool HasAltitude = false;   // Altitude has been heard (0 ft is an altitude too)

    // An emergency: a TC 28 emergency state, or one of the emergency codes squawked.
    bool InEmergency() const { return Emergency != 0 || Squawk == 7500 || Squawk == 7600 || Squawk == 7700; }
};

// Where an entry's extended squitters came from (DbRecord::Source).
enum EsSource : int8_t { kSourceAdsb = 1, kSourceTisb = 2, kSourceAdsr = 3 };
// "ADS-B", "TIS-B", "ADS-R", or "" for none.
const char* SourceName(int8_t source);

class FlightTable {
public:
    static constexpr int kFirst = -1;
    static constexpr int kLast = 500;
    static constexpr int kTracked = kLast + 1;  // entries 0..500

    FlightTable();

    // Db(i), i in -1..500. Never change Icao through this reference: use SetIcao.
    DbRecord& operator()(int i) { return rows_[static_cast<size_t>(i + 1)]; }
    const DbRecord& operator()(int i) const { return rows_[static_cast<size_t>(i + 1)]; }

    bool IcaoInDb(std::string_view icao) const { return IcaoDbPointer(icao) != -1; }
    // Lowest index 0..500 holding exactly this address (case-sensitive), else -1.
    int16_t IcaoDbPointer(std::string_view icao) const;
    // The same by key (see AddressKey): the decoder's way, with no text. A message looks
    // its aircraft up several times: the last answer is given without a call.
    int16_t Find(uint32_t key) const { return last_valid_ && key == last_key_ ? last_index_ : FindIndexed(key); }
    // Lowest free index 0..500, else -1.
    int16_t AvailDb() const;
    // Resets entry i (-1..500) to a free entry; LastHeard keeps its value.
    void InitDbPos(int i);
    // Told about every aircraft that leaves the table (an entry 0..500 in use being freed),
    // with the entry as it was; it must not change the table.
    void SetLeaveObserver(std::function<void(const DbRecord&)> observer) { on_leave_ = std::move(observer); }
    // Clears PlotX/PlotY of entries 0..500 (after the map picture was reloaded).
    void ResetPlotFlags();

    // Sets the address of entry i, keeping the index consistent. Entry -1 is not indexed.
    void SetIcao(int i, std::string_view icao);
    // The same by key; Icao becomes its text.
    void SetKey(int i, uint32_t key);

    // Entries in use among 0..500 (kept up to date, no scan).
    int InUse() const { return in_use_; }
    // Entries in use that have a position: a scan, for display only.
    int WithPosition() const;

private:
    void Place(int i, std::string_view icao, uint32_t key);
    int16_t FindIndexed(uint32_t key) const;

    std::array<DbRecord, kTracked + 1> rows_;
    std::unordered_map<uint32_t, int16_t> index_;
    std::array<uint64_t, (kTracked + 63) / 64> used_{};  // bit set = entry's Icao not empty
    int in_use_ = 0;
    std::function<void(const DbRecord&)> on_leave_;
    // One message looks its aircraft up a dozen times: remember the last answer.
    mutable uint32_t last_key_ = kNoAddress;
    mutable char last_text_[7] = {};  // and the text last asked for it (length 0: none)
    mutable size_t last_text_len_ = 0;
    mutable int16_t last_index_ = -1;
    mutable bool last_valid_ = false;
};

// Pads str with spaces on the right, or cuts it, to exactly `length` characters.
std::string FixLenString(std::string_view str, int length);

}  // namespace ternwick
