// The live flight list: exact text of heading and rows, expiry, and the cached refresh
// giving the same results as a full pass every time.
#include <gtest/gtest.h>

#include "display/live_list.h"

using namespace ternwick;

namespace {

// Enters a record as the decoder would: the address is indexed first.
void Put(FlightTable& db, int i, DbRecord e) {
    db.SetIcao(i, e.Icao);
    db(i) = std::move(e);
}
void Put(FlightTable& db, int i, const char* icao, int16_t heard) {
    Put(db, i, {icao, "        ", "", "", heard, "-"});
}

// An identified airborne entry, an entry with nothing but its address, a surface entry, and an
// airline without an IATA code (its IataFlight is only the number part).
void Fill(FlightTable& db) {
    // In record order: Icao, Flight, IataFlight, Airline, LastHeard, PosKind, CPR, Altitude, Speed, Lon, Lat.
    Put(db, 0, {"4CA1F3", "ABC123  ", "AB123   ", "Alpha Bravo Airways", 3590, "A", {}, {}, 3475, 250, 6.2, 53.4213});
    Put(db, 3, {"ABCDEF", "        ", "", "", 5, "-", {}, {}, 0, 0, 359.5, 0});
    Put(db, 2, {"3C6DD2", "        ", "", "", 4, "S", {}, {}, 0, 0, -0.45, -33.86881});
    Put(db, 5, {"405F33", "DHK7101 ", "7101  ", "DHL Air", 0, "A", {}, {}, 19350, 375, 5.5351, 50.2357});
}

}  // namespace

TEST(LiveList, HeadingAndRowsExactly) {
    FlightTable db;
    EXPECT_EQ(FlightListHeading(true).substr(0, 89),
              " ICAO    ICAOid    IATAid     Airline       LON        LAT        T   Alt.    kmh   Hrd\r\n");
    Fill(db);
    EXPECT_EQ(ShowTextTable(db, 5, {120.0, false}),
              " ICAO    ICAOid    IATAid     Airline       LON        LAT        T   Alt.    Knts  Hrd\r\n"
              "---------------------------------------------------------------------------------------\r\n"
              "4CA1F3   ABC123    AB123      Alpha Bravo   006.2000   053.4213   A   03475   250   015   \r\n"
              "3C6DD2                                      -000.4500   -033.8688   S   Surf.   000   001   \r\n"
              "ABCDEF                                      359.5000   000.0000   -   Undef   000   000   \r\n"
              "405F33   DHK7101   7101       DHL Air       005.5351   050.2357   A   19350   375   005   \r\n");
    // km/h: 250 kt is 463 with 1.85 too; 375 kt is exactly 694.5 km/h, 694 with 1.85.
    EXPECT_EQ(FlightListRow(db(0), 15, true).substr(78, 3), "463");
    EXPECT_EQ(FlightListRow(db(5), 15, true).substr(78, 3), "695");
}

TEST(LiveList, ExpiryKeepsAgeEqualToTheLimit) {
    FlightTable db;
    Put(db, 0, "AAAAAA", 80);    // age 120 at 200: stays
    Put(db, 1, "BBBBBB", 79);    // age 121: freed
    Put(db, 2, "CCCCCC", 3500);  // age 300 across the hour: freed
    Put(db, 3, "DDDDDD", 3590);  // age 210
    EXPECT_EQ(ExpireEntries(db, 200, 120.0), 3);
    EXPECT_EQ(db(0).Icao, "AAAAAA");
    EXPECT_EQ(db.IcaoDbPointer("BBBBBB"), -1);
    EXPECT_EQ(db(1).LastHeard, 79);  // freeing keeps the time stamp

    Put(db, 3, "DDDDDD", 3590);
    EXPECT_EQ(ExpireEntries(db, 200, 210.5), 0);
    EXPECT_EQ(ExpireEntries(db, 200, 0.0), 2);  // an expiry of 0 frees all not heard this second
    EXPECT_EQ(db.InUse(), 0);
}

TEST(LiveList, CachedPassesMatchAFullPassEveryTime) {
    FlightTable cached_db, full_db;
    Fill(cached_db);
    Fill(full_db);
    LiveList live;
    ListSettings s{120.0, false};
    auto same = [&](int now, const char* step) {
        live.ShowTextTable(cached_db, now, s);
        EXPECT_EQ(live.Text(cached_db), ShowTextTable(full_db, now, s)) << step;
    };
    same(5, "first pass");
    const uint64_t gen = live.Generation();
    same(5, "nothing changed");
    EXPECT_EQ(live.Generation(), gen);

    for (FlightTable* db : {&cached_db, &full_db}) {
        Put(*db, 7, "777777", 5);
        (*db)(0).Altitude = 12000;
    }
    live.TableChanged();
    same(5, "a message was evaluated");
    same(6, "the second turned");
    s.use_kmh = true;
    same(6, "unit changed");
    same(130, "entries aged out");
    EXPECT_EQ(cached_db.InUse(), 0);
    s.expire_seconds = 5000;
    for (FlightTable* db : {&cached_db, &full_db}) Put(*db, 9, "999999", 100);
    live.TableChanged();
    same(130, "longer expiry");
}
