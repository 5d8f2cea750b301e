#include <gtest/gtest.h>

#include "geo/great_circle.h"

using geo::LatLon;

TEST(GreatCircle, DistancesAgainstKnownValues) {
  struct Case { LatLon a, b; double km; };
  const Case cases[] = {
      {{0, 0}, {0, 1}, 111.1951},          // one degree of the equator
      {{0, 0}, {90, 0}, 10007.557},        // equator to pole
      {{0, 0}, {0, 180}, 20015.115},       // antipodes
      {{0, 179.5}, {0, -179.5}, 111.1951}, // across the antimeridian
      {{0, 359.5}, {0, 0.5}, 111.1951},    // the table's 0..360 longitudes
      {{60, 0}, {60, 1}, 55.5975},         // a degree of longitude at 60 N (nearly cos 60)
      {{10.3, 123.9}, {10.3, 123.9}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(geo::DistanceKm(c.a, c.b), c.km, 0.002) << c.a.lat << "," << c.a.lon;
    EXPECT_NEAR(geo::DistanceNm(c.a, c.b), c.km / 1.852, 0.002);
  }
}

TEST(GreatCircle, BearingsInEveryQuadrantAndAcrossTheAntimeridian) {
  struct Case { LatLon a, b; double deg; };
  const Case cases[] = {
      {{0, 0}, {1, 0}, 0},     {{0, 0}, {0, 1}, 90},     {{0, 0}, {-1, 0}, 180},
      {{0, 0}, {0, -1}, 270},  {{0, 179}, {0, -179}, 90}, {{0, -179}, {0, 179}, 270},
      {{0, 0}, {1, 1}, 44.9956}, {{-33.9, 151.2}, {-33.9, 151.2}, 0},
      {{51.4700, -0.4543}, {40.6413, -73.7781}, 288.0}, // London Heathrow to New York JFK
  };
  for (const Case& c : cases) {
    const double got = geo::BearingDeg(c.a, c.b);
    EXPECT_NEAR(got, c.deg, c.deg == 288.0 ? 0.5 : 0.001) << c.a.lat << "," << c.a.lon;
    EXPECT_GE(got, 0);
    EXPECT_LT(got, 360);
  }
}

TEST(GreatCircle, DestinationGoesBackAlongTheSameDistanceAndBearing) {
  const LatLon starts[] = {{10.3, 123.9}, {-33.9, 151.2}, {64.1, -21.9}, {0, 179.9}, {-89, 0}};
  for (const LatLon s : starts)
    for (double b = 0; b < 360; b += 45) {
      const LatLon d = geo::Destination(s, b, 300);
      EXPECT_NEAR(geo::DistanceKm(s, d), 300, 1e-6);
      if (s.lat > -80) {
        EXPECT_NEAR(geo::BearingDeg(s, d), b, 1e-6) << s.lat << " " << b;
      }
      EXPECT_LE(d.lon, 180);
      EXPECT_GT(d.lon, -180);
    }
  EXPECT_EQ(geo::WrapLon180(-180), 180);
  EXPECT_EQ(geo::WrapLon180(540), 180);
  EXPECT_EQ(geo::WrapLon180(359.5), -0.5);
}
