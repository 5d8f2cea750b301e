// The live map's pieces: labels that never overprint, trails cut at their age and gone with
// their aircraft, picking by a point, the details text and the accessible description, hollow
// old positions, emergencies in red and the receiver's coverage outline.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include <random>

#include "display/aircraft_details.h"
#include "display/label_placement.h"
#include "display/live_map.h"
#include "display/live_tracks.h"
#include "display/map_surface.h"
#include "display/projection.h"

using namespace ternwick;

namespace {

void Put(FlightTable& db, int i, const std::string& icao, double lat, double lon, const char* kind = "A") {
    db.SetIcao(i, icao);
    db(i) = {icao, "        ", "", "", 0, kind, {}, {}, 0, 0, lon, lat, 0, 0, {}, true};
}

// A view (by default 800 x 600 px, 250 km across) of open sea, no outlines, over a flight table and its tracks.
struct Scene {
    FlightTable db;
    LiveTracks tracks;
    LiveMapRenderer renderer;
    QImage image;
    LiveMapState state;
    geo::ViewProjection view;
    explicit Scene(geo::LatLon centre, double km = 250, int width = 800, int height = 600)
        : view(centre, km, width, height) {
        static int argc = 1;
        static char name[] = "test_live_map", *argv[] = {name, nullptr};
        [[maybe_unused]] static QGuiApplication* app = new QGuiApplication(argc, argv);
        state.db = &db, state.tracks = &tracks;
    }
    LiveMapFrame Render() { return renderer.Render(image, view, state); }
};

}  // namespace

TEST(LabelPlacement, NeverOverprintsALabelOrASymbolOverManyRandomLayouts) {
    std::mt19937 rng(2026);
    const double r = 9, width = 640, height = 480;
    size_t placed_total = 0, requested_total = 0;
    for (int layout = 0; layout < 300; ++layout) {
        std::uniform_int_distribution<int> count(1, 400);
        std::uniform_real_distribution<double> x(-10, width + 10), y(-10, height + 10), w(24, 90), h(12, 28);
        std::vector<LabelRequest> requests(static_cast<size_t>(count(rng)));
        for (LabelRequest& q : requests) q = {x(rng), y(rng), w(rng), h(rng), false};
        const auto placed = PlaceLabels(requests, r, width, height);
        ASSERT_EQ(placed.size(), requests.size());
        for (size_t i = 0; i < placed.size(); ++i) {
            if (!placed[i]) continue;
            const LabelRect& a = *placed[i];
            EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.w <= width && a.y + a.h <= height) << layout << " " << i;
            EXPECT_DOUBLE_EQ(a.w, requests[i].w);
            for (const LabelRequest& s : requests)
                ASSERT_FALSE(a.Overlaps({s.x - r, s.y - r, 2 * r, 2 * r})) << "layout " << layout << " label " << i;
            for (size_t j = i + 1; j < placed.size(); ++j)
                ASSERT_FALSE(placed[j] && a.Overlaps(*placed[j])) << "layout " << layout << " labels " << i << ", " << j;
        }
        placed_total += static_cast<size_t>(std::count_if(placed.begin(), placed.end(), [](auto& p) { return p.has_value(); }));
        requested_total += requests.size();
    }
    // Not an empty answer: even in crowds of 400, many labels find a place.
    EXPECT_GT(placed_total, requested_total / 4);

    // Alone, a label goes to the right of its symbol; at the right edge, to the left.
    const auto corner = [](const std::optional<LabelRect>& p) { return p ? std::pair(p->x, p->y) : std::pair(-1.0, -1.0); };
    EXPECT_EQ(corner(PlaceLabels({{100, 100, 40, 20, false}}, r, width, height)[0]), std::pair(111.0, 90.0));
    EXPECT_EQ(corner(PlaceLabels({{630, 100, 40, 20, false}}, r, width, height)[0]), std::pair(579.0, 90.0));
    // So it does when something else (the scale bar) is in the way on the right.
    EXPECT_EQ(corner(PlaceLabels({{100, 100, 40, 20, false}}, r, width, height, {{112, 80, 60, 40}})[0]), std::pair(49.0, 90.0));
    // Two symbols on one spot: a forced label is placed first, even when it is asked for second.
    auto two = PlaceLabels({{300, 200, 40, 20, false}, {300, 200, 40, 20, true}}, r, width, height);
    EXPECT_EQ(corner(two[1]), std::pair(311.0, 190.0));
    EXPECT_TRUE(two[0] && two[1] && !two[0]->Overlaps(*two[1]));
}

TEST(LiveTracks, TrailsAreCutAtTheirAgeAndLeaveWithTheAircraft) {
    LiveTracks t;
    const uint32_t a = 0x75953D, b = 0x75953D | kNonIcaoFlag;  // the same bits, apart
    for (int s = 0; s <= 600; ++s) {
        t.Heard(a, 1000 + s, static_cast<uint64_t>(s + 1));
        t.Position(a, 1000 + s, 10 + s * 0.001, 124, false);
    }
    t.Position(b, 1500, 11, 125, true);
    const LiveAircraft* la = t.Find(a);
    ASSERT_NE(la, nullptr);
    EXPECT_EQ(std::tuple(la->messages, la->positions, la->first_heard), std::tuple(601u, 601u, 1000.0));
    EXPECT_EQ(la->trail.back().t, 1600);  // the newest position is kept exactly
    EXPECT_LE(la->trail.size(), 302u);    // one point per two seconds behind it
    t.Cut(1600, 300);
    EXPECT_EQ(la->trail.front().t, 1300);
    EXPECT_EQ(la->trail.back().lat, 10.6);
    // A position older than the trail length stays as the aircraft's place.
    t.Cut(5000, 300);
    EXPECT_EQ(std::pair(t.Find(b)->trail.size(), la->trail.size()), (std::pair<size_t, size_t>(1, 1)));
    const uint64_t revision = t.Revision();
    t.Remove(a);
    EXPECT_TRUE(t.Find(a) == nullptr && t.Find(b) != nullptr);
    EXPECT_GT(t.Revision(), revision);
}

TEST(LiveMap, PickHitsTheNearestSymbolWithinAFewPixels) {
    Scene m({10.3, 123.9});
    Put(m.db, 0, "75953D", 10.3, 123.9);
    Put(m.db, 1, "7C5677", 10.3, 123.91);  // about 4.4 px east at 250 km across 800 px
    Put(m.db, 2, "8418E1", 10.0, 124.2);
    Put(m.db, 3, "885159", 40.0, 10.0);    // far out of view: not drawn
    const LiveMapFrame frame = m.Render();
    EXPECT_EQ(m.image.size(), QSize(800, 600));
    ASSERT_EQ(frame.aircraft.size(), 3u);
    EXPECT_EQ(std::pair(frame.aircraft[0].x, frame.aircraft[0].y), std::pair(400.0, 300.0));
    EXPECT_EQ(PickAircraft(frame, 401, 302), 0x75953Du);
    EXPECT_EQ(PickAircraft(frame, 404, 300), 0x7C5677u);  // nearer the second of the close pair
    EXPECT_EQ(PickAircraft(frame, frame.aircraft[2].x - 5, frame.aircraft[2].y + 4), 0x8418E1u);
    EXPECT_EQ(PickAircraft(frame, 400, 320), kNoAddress);  // 20 px away: empty sea
    EXPECT_EQ(ViewDescription(m.view, static_cast<int>(frame.aircraft.size())),
              "centre 10.3000 N 123.9000 E, 250.0 km across, 3 aircraft");
    EXPECT_EQ(ViewDescription(geo::ViewProjection({-33.86881, -151.20929}, 5, 800, 600), 0),
              "centre 33.8688 S 151.2093 W, 20.0 km across, 0 aircraft");
    EXPECT_EQ(ViewDescription(geo::ViewProjection({0, 180}, 40000, 800, 600), 36),
              "centre 0.0000 N 180.0000 E, 40000.0 km across, 36 aircraft");
}

TEST(LiveMap, LabelsAndTheDetailsOfAKnownAircraft) {
    DbRecord e{"A835AF", "N628TS  ", "", "", 0, "A", {}, {}, 37925, 463, 125.578877, 11.071643, 0, 0, {}, true};
    e.Track = 87.6, e.VertRate = -1216, e.HasVertRate = true, e.Squawk = 421;
    EXPECT_EQ(LabelLine1(e) + "/" + LabelLine2(e), "N628TS/FL379");
    const double t0 = 1765065600.0 + 3600 * 3 + 61;  // 03:01:01 UTC
    const LiveAircraft live{{}, t0, t0 + 125, 412, 97};
    DetailsContext context{geo::LatLon{10.3, 123.9}, live.last_heard + 4.5};
    EXPECT_EQ(AircraftDetailsText(&e, &live, context),
              "ICAO address: A835AF\nCountry: United States\nRegistration: N628TS\nCallsign: N628TS\n"
              "IATA flight: -\nAirline: -\nSquawk: 0421\nAltitude: 37925 ft (FL379)\nVertical rate: -1216 ft/min\n"
              "Ground speed: 463 kt (857 km/h)\nTrack: 88°\nPosition: 11.0716 N 125.5789 E\n"
              "From receiver: 109.4 NM (202.5 km), bearing 065°\nFirst heard: 03:01:01 UTC\n"
              "Last heard: 03:03:06 UTC (4 s ago)\nMessages: 412\nPositions: 97\n");
    // An emergency beside the code (a state may come without any code heard).
    for (auto [squawk, state, line] : {std::tuple(7700, 0, "7700 (emergency)"), {1200, 2, "1200 (emergency: MEDICAL)"},
                                       {-1, 2, "(emergency: MEDICAL)"}}) {
        e.Squawk = static_cast<int16_t>(squawk), e.Emergency = static_cast<int8_t>(state);
        EXPECT_NE(AircraftDetailsText(&e, &live, context).find(std::string("\nSquawk: ") + line + "\n"), std::string::npos)
            << line;
    }
    // On the ground, nothing known beyond the address, no receiver set.
    const DbRecord g{"76E4C4", "No-Call ", "", "", 0, "S"};
    EXPECT_EQ(LabelLine1(g) + "/" + LabelLine2(g), "76E4C4/GND");
    EXPECT_EQ(AircraftDetailsText(&g, nullptr, {}),
              "ICAO address: 76E4C4\nCountry: Singapore\nRegistration: -\nCallsign: -\nIATA flight: -\nAirline: -\n"
              "Squawk: -\nAltitude: on the ground\nVertical rate: -\nGround speed: -\nTrack: -\nPosition: -\n"
              "From receiver: -\nFirst heard: -\nLast heard: -\nMessages: -\nPositions: -\n");
    EXPECT_EQ(AircraftDetailsText(nullptr, nullptr, {}), "No aircraft selected");
}

// The middle of the symbol: the aircraft's colour, the sea through a hollow symbol once the
// position is older than its expiry (longer on the surface), red in an emergency.
TEST(LiveMap, OldPositionsAreHollowAndEmergenciesRedWithTheirCodeInTheLabel) {
    const QColor sea(170, 206, 232), red(220, 0, 0), own;
    // An invalid look is the aircraft's own colour.
    struct Case { const char* kind; double age; int squawk, state; const char* line2; QColor look; } cases[] = {
        {"A", 0, -1, 0, "FL120", own},          {"A", 9.5, -1, 0, "FL120", own},
        {"A", 10.5, -1, 0, "FL120", sea},       {"A", 300, -1, 0, "FL120", sea},
        {"S", 10.5, -1, 0, "GND", own},         {"S", 29.5, -1, 0, "GND", own},
        {"S", 30.5, -1, 0, "GND", sea},         {"A", 0, 7700, 0, "FL120 7700", red},
        {"A", 0, 7600, 0, "FL120 7600", red},   {"S", 0, 7500, 0, "GND 7500", red},
        {"A", 0, 1200, 2, "FL120 MEDICAL", red}, {"A", 0, 7700, 1, "FL120 7700", red},
        {"A", 0, 1200, 5, "FL120 UNLAWFUL", red}, {"A", 0, 7000, 0, "FL120", own},
        {"A", 0, 7777, 0, "FL120", own},        {"", 0, 7700, 0, "7700", red},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " " << c.age << " " << c.squawk << "/" << c.state);
        // Alone at the centre as the diamond of an unknown heading, its middle well inside its border.
        Scene one({10.23, 123.77});
        Put(one.db, 0, "75953D", 10.23, 123.77, c.kind);
        DbRecord& e = one.db(0);
        e.Altitude = 12000, e.Squawk = static_cast<int16_t>(c.squawk), e.Emergency = static_cast<int8_t>(c.state);
        one.state.now = 5000, one.state.air_expire = 10, one.state.surf_expire = 30;
        one.tracks.Position(0x75953D, one.state.now - c.age, 10.23, 123.77, c.kind[0] == 'S');
        EXPECT_EQ(LabelLine2(e), c.line2);
        if (!c.kind[0]) continue;  // no position: not drawn
        one.Render();
        EXPECT_EQ(one.image.pixelColor(399, 299),
                  c.look.isValid() ? c.look : ColorFromRgbValue(EntryColour("75953D", c.kind)));
    }
}

TEST(LiveMap, TheCoverageOutlineIsDrawnWithAReceiverSet) {
    Scene one({10.23, 123.77});  // no aircraft: the outline alone
    geo::Coverage coverage;
    const geo::LatLon rx{10.23, 123.77};
    coverage.Reset(rx);
    // Heard 70 km out all round, and 90 km due east.
    for (int k = 0; k < geo::Coverage::kSectors; ++k) coverage.Add(geo::Destination(rx, k * 5 + 2.5, 70), 20000);
    coverage.Add(geo::Destination(rx, 90, 90), 20000);
    one.state.coverage = &coverage;
    auto green_at = [&](geo::LatLon g) {
        geo::ScreenPoint s;
        EXPECT_TRUE(one.view.ToScreen(g, s));
        one.Render();
        return one.image.pixelColor(static_cast<int>(s.x), static_cast<int>(s.y)).green();
    };
    const geo::LatLon east = geo::Destination(rx, 90, 90), inside = geo::Destination(rx, 45, 30);
    EXPECT_EQ(std::pair(green_at(east), green_at(inside)), std::pair(206, 206));  // no receiver: no outline
    one.state.receiver = rx;
    EXPECT_LT(green_at(east), 120);  // on the magenta line
    const int fill = green_at(inside);  // faintly filled inside
    EXPECT_TRUE(fill < 206 && fill > 150) << fill;
    EXPECT_EQ(green_at(geo::Destination(rx, 250, 100)), 206);  // nothing heard out there
    // The kept base map follows the receiver and the view: its mark shows at once and moves with the view.
    auto red_mark_at = [&](int x, int y) {
        const QColor c = one.image.pixelColor(x, y);
        return c.red() > 150 && c.green() < 60 && c.blue() < 80;
    };
    EXPECT_TRUE(red_mark_at(399, 299));
    one.view = one.view.Panned(-100, 0);
    one.Render();
    EXPECT_TRUE(!red_mark_at(399, 299) && red_mark_at(299, 299));
}

TEST(LiveMap, ADraggedViewSlidesTheKeptBaseMapWithoutSeamsAndIsDrawnAfreshWhenItRests) {
    Scene s({10.5, 123.0}, 1200, 640, 400);  // the base map alone: land, coasts, graticule, rings
    geo::OutlineStore outlines;
    std::string error;
    ASSERT_TRUE(outlines.Load(TERNWICK_BIN_DIR "/outlines", &error)) << error;
    LiveMapState& state = s.state;
    state.outlines = &outlines;
    state.receiver = geo::LatLon{10.3, 123.9};
    const geo::ViewProjection view = s.view, dragged = view.Panned(-150, -60);
    LiveMapRenderer once, twice, fresh;
    QImage still, a, b, exact;
    once.Render(still, view, state);
    once.Render(a, dragged, state, true);
    // Dragged there in one step or two, the cells newly in view drawn at other times: the same pixels, no seam.
    twice.Render(b, view, state);
    twice.Render(b, view.Panned(-70, -35), state, true);
    twice.Render(b, dragged, state, true);
    EXPECT_TRUE(a == b);
    // What was in view is the same picture moved by whole pixels (away from edge labels and the scale bar).
    const QRect inner(50, 20, 390, 280);
    EXPECT_TRUE(a.copy(inner) == still.copy(inner.translated(150, 60)));
    // At rest the view is drawn in its own projection, as a renderer that never saw another.
    once.Render(a, dragged, state);
    fresh.Render(exact, dragged, state);
    EXPECT_TRUE(a == exact);
    EXPECT_FALSE(a.copy(inner) == still.copy(inner.translated(150, 60)));
    // Beyond the kept margin, or without keeping, a new projection.
    const geo::ViewProjection far = dragged.Panned(-400, 0);  // the margin is half a view
    once.Render(a, far, state, true);
    fresh.Render(exact, far, state);
    EXPECT_TRUE(a == exact);
}
