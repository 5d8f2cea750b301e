// The flight table: allocation, and the address index against a plain scan.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "flights/flight_table.h"

using namespace ternwick;

TEST(FlightTable, IndexAgreesWithLinearScan) {
    FlightTable db;
    std::mt19937 rng(3);
    const char* pool[] = {"A00001", "A00002", "A00003", "a00001", "FFFFFF", "000000", "123456"};
    for (int step = 0; step < 20000; ++step) {
        const std::string icao = pool[rng() % 7];  // lookups are case-sensitive
        if (rng() % 3 == 0) {
            db.InitDbPos(static_cast<int>(rng() % 501));
        } else if (!db.IcaoInDb(icao) && db.AvailDb() != -1) {
            db.SetIcao(db.AvailDb(), icao);
        }
        int scan_ptr = -1, scan_free = -1;
        for (int i = 0; i <= 500; ++i) {
            if (scan_ptr == -1 && db(i).Icao == icao) scan_ptr = i;
            if (scan_free == -1 && db(i).Icao.empty()) scan_free = i;
        }
        ASSERT_EQ(db.IcaoDbPointer(icao), scan_ptr);
        ASSERT_EQ(db.AvailDb(), scan_free);
    }
    // An address set twice (a whole record copied in) is found where a scan finds it first.
    FlightTable twice;
    twice.SetIcao(3, "A00001");
    twice.SetIcao(1, "A00001");
    EXPECT_EQ(twice.IcaoDbPointer("A00001"), 1);
}

// Addresses as keys: the text shown, "~" for an address that is not an ICAO one, and two
// entries for the same 24 bits of either kind. Freeing an entry empties it but for the time it
// was last heard (which the live list's expiry needs).
TEST(FlightTable, AddressKeysAndNonIcaoApart) {
    for (auto [key, text] : {std::pair{0x4CA2B1u, "4CA2B1"}, {0x000001u, "000001"}, {0xFFFFFFu, "FFFFFF"},
                             {0x4CA2B1u | kNonIcaoFlag, "~4CA2B1"}}) {
        EXPECT_EQ(AddressText(key), text);
        EXPECT_EQ(AddressKey(text), key) << text;
    }
    for (const char* bad : {"4ca2b1", "4CA2B", "4CA2B1A", "~~4CA2B", "", "4CA2G1"}) EXPECT_EQ(AddressKey(bad), kNoAddress) << bad;

    FlightTable db;
    db.SetKey(0, 0x4CA2B1 | kNonIcaoFlag);
    db.SetKey(1, 0x4CA2B1);
    EXPECT_EQ(db(0).Icao, "~4CA2B1");
    EXPECT_EQ(std::tuple(db.Find(0x4CA2B1), db.IcaoDbPointer("4CA2B1"), db.Find(0x4CA2B1 | kNonIcaoFlag),
                         db.IcaoDbPointer("~4CA2B1")),
              std::tuple(1, 1, 0, 0));
    db(0).LastHeard = 1234;
    db(0).Flight = "TST123  ";
    db(0).Lat = 10;
    db.InitDbPos(0);
    EXPECT_EQ(std::tie(db(0).LastHeard, db(0).Flight, db(0).Lat), std::tuple(1234, "", 0.0));
    EXPECT_EQ(std::tuple(db.IcaoDbPointer("~4CA2B1"), db.IcaoDbPointer("4CA2B1"), db.AvailDb(), db.InUse()),
              std::tuple(-1, 1, 0, 1));
}
