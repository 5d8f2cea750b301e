// The decoder reads the generator's traffic back: positions within CPR resolution all over
// the globe, callsigns, altitudes and speeds exactly, and whole random fleets match the truth.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "decode/tracker.h"
#include "traffic_sim.h"

using namespace ternwick;
using namespace ternwick::traffic;

namespace {

class TestHost : public TrackerHost {
public:
    double offset = 0;
    int SecondsInHour() const override { return 0; }
    bool PlotAir() const override { return false; }
    bool PlotSurf() const override { return false; }
    double MapSurfLonOffset() const override { return offset; }
    void PlotPosDb(int16_t) override {}
};

double DistanceM(double lat1, double lon1, double lat2, double lon2) {
    const double r = M_PI / 180, dlat = (lat2 - lat1) * r, dlon = (lon2 - lon1) * r;
    const double a = std::sin(dlat / 2) * std::sin(dlat / 2) +
                     std::cos(lat1 * r) * std::cos(lat2 * r) * std::sin(dlon / 2) * std::sin(dlon / 2);
    return 2 * 6371008.8 * std::asin(std::sqrt(std::min(1.0, a)));
}

// A tracker with a test host and an empty airline directory.
struct Decoder {
    TestHost host;
    AirlineDirectory airlines;
    Tracker t{host, airlines};
    explicit Decoder(double offset = 0) { host.offset = offset; }
};

std::string Hex6(uint32_t icao) {
    char s[8];
    std::snprintf(s, sizeof s, "%06X", icao);
    return s;
}

struct ReadBack {
    int positions = 0;     // positions the decoder stored
    double worst_m = 0;    // largest distance from where the aircraft was when it sent the report
};

// Feeds every message to the tracker; after each stored position, compares it with the
// true position of the report that produced it.
ReadBack Feed(Tracker& t, const std::vector<SimMessage>& messages, const std::vector<AircraftPlan>& fleet) {
    ReadBack r;
    for (const SimMessage& m : messages) {
        const uint64_t before = t.stats().positions;
        t.Squitter = m.hex;
        t.EvalSquitter();
        if (t.stats().positions == before) continue;
        const DbRecord& e = t.Db(t.Db.IcaoDbPointer(Hex6(fleet[m.aircraft].icao)));
        r.worst_m = std::max(r.worst_m, DistanceM(e.Lat, e.Lon, m.lat, m.lon));
        ++r.positions;
    }
    return r;
}

}  // namespace

TEST(TrafficReadBack, AirbornePositionsAllOverTheGlobe) {
    struct Case {
        const char* where;
        double lat, lon, heading, speed_kt;
        int altitude_ft;
        bool gillham;
        double tolerance_m;  // half a CPR step in each direction
    };
    // At 85 degrees the odd longitude zones are 180 degrees wide: one 17-bit step is 13 m there.
    const Case cases[] = {
        {"Visayas", 10.0, 123.5, 45, 450, 35000, false, 5.0},
        {"north across NL 59/58", 10.43, 124.0, 0, 480, 33000, false, 5.0},
        {"south across NL 30/29", 60.05, 10.0, 180, 480, 37000, true, 5.0},
        {"south and east", -33.9, 151.2, 200, 450, 24000, true, 5.0},
        {"south and west", -34.6, -58.4, 300, 420, 11025, false, 5.0},
        {"north and west", 40.6, -73.8, 60, 380, 28000, false, 5.0},
        {"east across Greenwich", 51.47, -0.05, 90, 400, 8000, true, 5.0},
        {"north across the equator", -0.05, 30.0, 0, 480, 41000, false, 5.0},
        {"east across 180", -17.0, 179.97, 90, 480, 39000, false, 5.0},
        {"west across 180", 52.0, -179.97, 270, 480, 36000, true, 5.0},
        {"85 north", 85.0, 20.0, 90, 480, 38000, false, 7.5},
        {"85 south", -85.0, -120.0, 270, 480, 31000, false, 7.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        AircraftPlan p;
        p.icao = 0x758123;
        p.callsign = "PAL123";
        p.lat = c.lat;
        p.lon = c.lon;
        p.heading_deg = c.heading;
        p.speed_kt = c.speed_kt;
        p.altitude_ft = p.target_ft = c.altitude_ft;
        p.gillham = c.gillham;
        SimSettings s;
        s.duration_s = 90;
        s.loss = 0.1;
        TrafficSim sim({p}, s);
        const auto messages = sim.Run();

        Decoder d;
        Tracker& t = d.t;
        const ReadBack r = Feed(t, messages, sim.fleet());
        EXPECT_GT(r.positions, 120);
        EXPECT_LE(r.worst_m, c.tolerance_m);

        const DbRecord& e = t.Db(t.Db.IcaoDbPointer("758123"));
        EXPECT_EQ(e.Flight, "PAL123  ");
        EXPECT_EQ(e.Altitude, c.altitude_ft);
        EXPECT_EQ(e.Speed, static_cast<int>(c.speed_kt));
        EXPECT_EQ(e.PosKind, "A");
        const AircraftTruth& truth = sim.truth()[0];
        ASSERT_TRUE(truth.lat.has_value());
        EXPECT_LE(DistanceM(e.Lat, e.Lon, *truth.lat, *truth.lon), c.tolerance_m);
    }
}

TEST(TrafficReadBack, SurfacePositionsTakeTheMapOffset) {
    struct Case {
        const char* airport;
        double lat, lon, offset;
    };
    const Case cases[] = {
        {"Mactan", 10.3075, 123.9794, 90},
        {"Kennedy", 40.6413, -73.7781, -90},
        {"Heathrow", 51.4700, -0.4543, -90},
        {"Charles de Gaulle", 49.0097, 2.5479, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.airport);
        AircraftPlan p;
        p.icao = 0x400ABC;
        p.callsign = "BAW9";
        p.on_ground = true;
        p.lat = c.lat;
        p.lon = c.lon;
        p.speed_kt = 15;
        p.taxi_radius_m = 300;
        p.position_tc = 7;
        SimSettings s;
        s.duration_s = 60;
        TrafficSim sim({p}, s);
        const auto messages = sim.Run();

        Decoder d(c.offset);
        Tracker& t = d.t;
        const ReadBack r = Feed(t, messages, sim.fleet());
        EXPECT_GT(r.positions, 100);
        EXPECT_LE(r.worst_m, 1.5);  // surface steps are a quarter of the airborne ones
        const DbRecord& e = t.Db(t.Db.IcaoDbPointer("400ABC"));
        EXPECT_EQ(e.PosKind, "S");
        EXPECT_EQ(e.Flight, "BAW9    ");
        EXPECT_EQ(e.Altitude, 0);  // surface reports carry no altitude
    }
}

// Stopping the same flight at every moment while it crosses NL boundaries: the truth always
// names the position the decoder holds, also when the newest pair straddles a boundary and
// cannot be decoded.
TEST(TrafficReadBack, TruthAtEveryMomentAcrossNlBoundaries) {
    struct Case { const char* where; double lat, heading; };
    for (const Case c : {Case{"northbound at 10.47", 10.4650, 0}, Case{"southbound at 59.95", 59.9600, 180}}) {
        SCOPED_TRACE(c.where);
        AircraftPlan p;
        p.icao = 0x758124;
        p.lat = c.lat;
        p.lon = 124.0;
        p.heading_deg = c.heading;
        p.speed_kt = 480;
        p.altitude_ft = p.target_ft = 30000;
        int straddled = 0;
        for (double end = 2.0; end < 12.0; end += 0.05) {
            SimSettings s;
            s.duration_s = end;
            s.loss = 0;
            s.damage = 0;
            TrafficSim sim({p}, s);
            const auto messages = sim.Run();
            Decoder d;
            Tracker& t = d.t;
            Feed(t, messages, sim.fleet());
            straddled = std::max<int>(straddled, static_cast<int>(t.stats().nl_mismatch));
            const DbRecord& e = t.Db(t.Db.IcaoDbPointer("758124"));
            const AircraftTruth& truth = sim.truth()[0];
            ASSERT_EQ(truth.lat.has_value(), e.Lat != 0) << end;
            if (truth.lat) {
                EXPECT_LE(DistanceM(e.Lat, e.Lon, *truth.lat, *truth.lon), 5.0) << end;
            }
        }
        EXPECT_EQ(straddled, 1);  // exactly one pair straddled the boundary
    }
}

// Whole fleets with lost and damaged messages: every aircraft in the table ends as the
// truth says, including the ones whose last pair straddled an NL boundary.
TEST(TrafficReadBack, RandomFleetsMatchTheTruth) {
    struct Case {
        const char* where;
        double lat, lon;
        int on_ground;
        double offset;
    };
    const Case cases[] = {
        {"Cebu", 10.3075, 123.9794, 6, 90},
        {"Fiji, across 180", -17.75, 179.5, 0, 0},
        {"London, across Greenwich", 51.5, 0.0, 0, 0},
        {"Anchorage, across NL boundaries", 61.17, -150.0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        FleetOptions o;
        o.centre_lat = c.lat;
        o.centre_lon = c.lon;
        o.aircraft = 40;
        o.on_ground = c.on_ground;
        o.seed = 11;
        o.gillham_share = 0.3;
        o.mode_s_only_share = 0.1;
        SimSettings s;
        s.duration_s = 180;
        s.seed = 11;
        TrafficSim sim(RandomFleet(o), s);
        const auto messages = sim.Run();

        Decoder d(c.offset);
        Tracker& t = d.t;
        const ReadBack r = Feed(t, messages, sim.fleet());
        EXPECT_LE(r.worst_m, 5.0);

        size_t damaged = 0;
        for (const SimMessage& m : messages) damaged += m.damaged;
        EXPECT_GT(damaged, 0u);
        EXPECT_EQ(t.stats().crc_rejected, damaged);
        EXPECT_EQ(t.Db.InUse(), 40);

        for (const AircraftTruth& truth : sim.truth()) {
            const std::string icao = Hex6(truth.icao);
            SCOPED_TRACE(icao);
            const int16_t i = t.Db.IcaoDbPointer(icao);
            ASSERT_NE(i, -1);
            const DbRecord& e = t.Db(i);
            EXPECT_EQ(e.Flight, truth.flight.empty() ? "No-Call " : truth.flight);
            EXPECT_EQ(e.PosKind, std::string(1, truth.pos_kind));
            EXPECT_EQ(e.Altitude, truth.altitude_ft.value_or(0));
            EXPECT_EQ(e.Speed, truth.speed_kt.value_or(0));
            if (truth.lat) EXPECT_LE(DistanceM(e.Lat, e.Lon, *truth.lat, *truth.lon), 5.0);
            else EXPECT_TRUE(e.Lat == 0 && e.Lon == 0);
        }
    }
}
