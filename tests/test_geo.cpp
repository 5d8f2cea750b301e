#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "geo/great_circle.h"
#include "geo/registration.h"
#include "geo/view_projection.h"

using geo::LatLon;
using geo::ScreenPoint;
using geo::ViewProjection;

TEST(GreatCircle, DistancesAndBearingsInEveryQuadrantAndAcrossTheAntimeridian) {
  struct Case { LatLon a, b; double km, deg; };  // deg -1: every way to the antipode is as short
  const Case cases[] = {
      {{0, 0}, {1, 0}, 111.1951, 0},     {{0, 0}, {0, 1}, 111.1951, 90},  // a degree north, and of the equator
      {{0, 0}, {-1, 0}, 111.1951, 180},  {{0, 0}, {0, -1}, 111.1951, 270},
      {{0, 0}, {90, 0}, 10007.557, 0},   {{0, 0}, {0, 180}, 20015.115, -1},  // equator to pole, antipodes
      {{0, 179.5}, {0, -179.5}, 111.1951, 90},  // across the antimeridian
      {{0, 179}, {0, -179}, 222.3902, 90},       {{0, -179}, {0, 179}, 222.3902, 270},
      {{0, 359.5}, {0, 0.5}, 111.1951, 90},      // the table's 0..360 longitudes
      {{60, 0}, {60, 1}, 55.5970, 89.5670},      // a degree of longitude at 60 N (nearly cos 60)
      {{0, 0}, {1, 1}, 157.2496, 44.9956},       {{0, 0}, {1, -0.01}, 111.2006, 359.4271},
      {{10.3, 123.9}, {10.3, 123.9}, 0, 0},      {{-33.9, 151.2}, {-33.9, 151.2}, 0, 0},
      {{51.4700, -0.4543}, {40.6413, -73.7781}, 5540.019, 287.9432},  // London Heathrow to New York JFK
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a.lat << "," << c.a.lon << " to " << c.b.lat << "," << c.b.lon);
    EXPECT_NEAR(geo::DistanceKm(c.a, c.b), c.km, 0.002);
    if (c.deg >= 0) EXPECT_NEAR(geo::BearingDeg(c.a, c.b), c.deg, 0.001);
  }
}

TEST(GreatCircle, DestinationGoesBackAlongTheSameDistanceAndBearing) {
  const LatLon starts[] = {{10.3, 123.9}, {-33.9, 151.2}, {64.1, -21.9}, {0, 179.9}, {-89, 0}};
  for (const LatLon s : starts)
    for (double b = 0; b < 360; b += 45) {
      const LatLon d = geo::Destination(s, b, 300);
      EXPECT_NEAR(geo::DistanceKm(s, d), 300, 1e-6);
      EXPECT_NEAR(s.lat > -80 ? geo::BearingDeg(s, d) : b, b, 1e-6) << s.lat << " " << b;
      EXPECT_TRUE(d.lon > -180 && d.lon <= 180) << d.lon;
    }
  EXPECT_EQ(std::tuple(geo::WrapLon180(-180), geo::WrapLon180(540), geo::WrapLon180(359.5)), std::tuple(180, 180, -0.5));
}

TEST(ViewProjection, KnownPointsAtTheEquatorThePoleAndAcrossTheAntimeridian) {
  // 1000 km across 1000 px: one pixel is one kilometre; a degree of arc is 111.195 km.
  struct Case { LatLon centre, p; double x, y; };
  const Case cases[] = {
      {{0, 0}, {0, 0}, 500, 500},
      {{0, 0}, {0, 1}, 611.195, 500},        // east is right
      {{0, 0}, {1, 0}, 500, 388.805},        // north is up
      {{0, 0}, {-1, -1}, 388.816, 611.201},  // south-west, slightly less than 1 degree each way
      {{90, 0}, {89, 0}, 500, 611.195},      // over the north pole, Greenwich points down
      {{90, 0}, {89, 90}, 611.195, 500},     // and 90 E to the right
      {{-90, 0}, {-89, 0}, 500, 388.805},    // over the south pole, Greenwich points up
      {{0, 179.5}, {0, -179.5}, 611.195, 500},  // across 180 without a seam
      {{0, -179.5}, {0, 179.5}, 388.805, 500},
      {{10.3, 123.9}, {10.3, 123.9}, 500, 500},
  };
  for (const Case& c : cases) {
    const ViewProjection v(c.centre, 1000, 1000, 1000);
    ScreenPoint s;
    ASSERT_TRUE(v.ToScreen(c.p, s));
    EXPECT_LT(std::hypot(s.x - c.x, s.y - c.y), 0.01)
        << c.centre.lat << "," << c.centre.lon << " -> " << c.p.lat << "," << c.p.lon << ": " << s.x << "," << s.y;
  }
  // The point opposite the centre has no place; beyond the Earth's disc is no point.
  ScreenPoint s;
  LatLon p;
  EXPECT_FALSE(ViewProjection({0, 0}, 1000, 1000, 1000).ToScreen({0, 180}, s));
  EXPECT_FALSE(ViewProjection({0, 0}, 42000, 1000, 1000).FromScreen({999, 999}, p));
}

TEST(ViewProjection, RoundTripsAtThePolesTheAntimeridianAndTheEquator) {
  const LatLon centres[] = {{90, 0}, {-90, 0}, {89.99, 45}, {0, 180}, {0, -180}, {0, 179.99},
                            {0, 0}, {10.3, 123.9}, {-33.9, 151.2}, {64.1, -21.9}};
  for (const LatLon c : centres)
    for (const double km_across : {20.0, 250.0, 5000.0, 40000.0}) {
      const ViewProjection v(c, km_across, 800, 600);
      for (const double d : {0.0, 0.3, 9.0, 120.0, 2000.0, 15000.0})
        for (double b = 0; b < 360; b += 30) {
          const LatLon p = geo::Destination(c, b, d);
          ScreenPoint s;
          ASSERT_TRUE(v.ToScreen(p, s));
          LatLon back;
          ASSERT_TRUE(v.FromScreen(s, back));
          // Within a metre on the ground, whatever the longitude's branch.
          EXPECT_LT(geo::DistanceKm(p, back), 0.001) << c.lat << "," << c.lon << " d " << d << " b " << b;
          EXPECT_TRUE(back.lon > -180 && back.lon <= 180) << back.lon;
        }
    }
}

TEST(ViewProjection, PanAndZoomKeepThePointUnderTheMouse) {
  const ViewProjection v({10.3, 123.9}, 250, 800, 600);
  EXPECT_EQ(ViewProjection({10.3, 123.9}, 5, 800, 600).km_across(), ViewProjection::kMinKmAcross);
  EXPECT_EQ(ViewProjection({10.3, 123.9}, 1e6, 800, 600).km_across(), ViewProjection::kMaxKmAcross);
  LatLon under;
  ASSERT_TRUE(v.FromScreen({600, 150}, under));
  const ViewProjection z = v.Zoomed(2, {600, 150});
  EXPECT_DOUBLE_EQ(z.km_across(), 125);
  ScreenPoint still;
  ASSERT_TRUE(z.ToScreen(under, still));
  EXPECT_LT(std::hypot(still.x - 600, still.y - 150), 0.5) << still.x << "," << still.y;
  // Dragging the map 100 px right brings what was 100 px left of the middle to the middle.
  const ViewProjection moved = v.Panned(100, 0);
  ScreenPoint s;
  ASSERT_TRUE(v.ToScreen(moved.centre(), s));
  EXPECT_LT(std::hypot(s.x - 300, s.y - 300), 0.01) << s.x << "," << s.y;
  // The view's box over Cebu, and one over the pole that takes every longitude.
  const ViewProjection::Box box = v.GeoBounds();
  EXPECT_TRUE(box.west < 122.8 && box.east > 125.0 && box.south < 9.6 && box.north > 11.0)
      << box.west << " " << box.east << " " << box.south << " " << box.north;
  const ViewProjection::Box polar = ViewProjection({89, 0}, 1000, 800, 600).GeoBounds();
  EXPECT_EQ(std::tie(polar.west, polar.east, polar.north), std::tuple(-180.0, 180.0, 90.0));
}

TEST(ViewProjection, EveryPointOnTheEdgesOfAViewOrOfAPartOfItLiesInItsBox) {
  // The box is worked out from some points of the edges, which bulge between them.
  for (const ViewProjection& v : {ViewProjection({10.3, 123.9}, 250, 800, 600), ViewProjection({60, 10}, 3000, 800, 600),
                                  ViewProjection({-70, 175}, 8000, 800, 600)})
    for (const auto& [x0, y0, x1, y1] : {std::tuple(0, 0, 800, 600), std::tuple(130, 70, 517, 333)}) {
      const ViewProjection::Box b = v.GeoBounds(x0, y0, x1, y1);
      for (double t = 0; t <= 1; t += 1.0 / 1024) {
        const double x = x0 + t * (x1 - x0), y = y0 + t * (y1 - y0);
        for (const ScreenPoint s : {ScreenPoint{x, double(y0)}, {x, double(y1)}, {double(x0), y}, {double(x1), y}}) {
          LatLon p;
          ASSERT_TRUE(v.FromScreen(s, p));
          const bool in_lon = b.west <= b.east ? p.lon >= b.west && p.lon <= b.east : p.lon >= b.west || p.lon <= b.east;
          ASSERT_TRUE(in_lon && p.lat >= b.south && p.lat <= b.north) << v.centre().lat << " " << s.x << "," << s.y;
        }
      }
    }
}

TEST(Registration, AddressBlocksAndUsNumbersAgainstKnownPairs) {
  const std::pair<uint32_t, const char*> countries[] = {
      {0x75953D, "Philippines"}, {0x4CA1F3, "Ireland"},     {0x3C6DD2, "Germany"},  {0xA835AF, "United States"},
      {0x7C5677, "Australia"},   {0x76E4C4, "Singapore"},   {0x888123, "Viet Nam"}, {0x8418E1, "Japan"},
      {0x7830B7, "China"},       {0x899000, "Taiwan"},      {0xC0FFEE, "Canada"},   {0x400000, "United Kingdom"},
      {0x501C00, "Croatia"},     {0x0D7FFF, "Mexico"},      {0xE80000, "Chile"},    {0x710000, "Saudi Arabia"},
      {0x004000, "Zimbabwe"},    {0x000001, ""},            {0x501BFF, ""},         {0xFFFFFF, ""},
      {0x0043FF, "Zimbabwe"},    {0x004400, ""},          {0x885159, "Thailand"},
  };
  for (const auto& [address, country] : countries) EXPECT_EQ(geo::AddressCountry(address), country) << std::hex << address;
  const std::pair<uint32_t, const char*> registrations[] = {
      {0xA00001, "N1"},     {0xA00002, "N1A"},    {0xA00003, "N1AA"},   {0xA0025A, "N10"},
      {0xADF7C7, "N99999"}, {0xA835AF, "N628TS"}, {0xA00000, ""},       {0xADF7C8, ""},
      {0x4CA1F3, ""},
  };
  for (const auto& [address, reg] : registrations) EXPECT_EQ(geo::UsRegistration(address), reg) << std::hex << address;
}
