// The shipped data parses with the program's own readers (airline directory, map catalogue and pictures,
// demo recording); the map tool reads the same catalogue, refuses broken input and draws what it is given.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>

#include <fstream>
#include <sstream>

#include "display/projection.h"
#include "io/recorded_input.h"
#include "map_render.h"
#include "temp_path.h"
#include "test_support.h"
#include "traffic_sim.h"

using namespace ternwick;

const std::string kData = TERNWICK_SOURCE_DIR "/data";

TEST(ShippedData, AirlineDirectoryAndTheDemoRecordingEndingAsItsTruthSays) {
    test::Decoding d;
    std::string problem;
    EXPECT_EQ(d.airlines.LoadFile(kData + "/airlinecodes.csv", problem), 5428);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(d.airlines.IATAofICAO("PAL"), "PR");
    EXPECT_EQ(d.airlines.AIRofICAO("5J"), "Cebu Pacific");
    EXPECT_EQ(d.airlines.AIRofICAO("JAL"), "Japan Airlines");  // a designator used twice: today's airline first
    EXPECT_EQ(d.airlines.IATAofICAO("VJC"), "");  // no IATA code in the source: left empty
    for (const AirlineRec& r : d.airlines.rows()) {
        ASSERT_EQ(r.IcaoCode.size(), 3u) << r.AirlineName;
        for (const std::string* f : {&r.IataCode, &r.IcaoCode, &r.AirlineName, &r.Remark})
            EXPECT_EQ(f->find_first_of("\"\\"), std::string::npos) << *f;
        EXPECT_NE(r.IataCode, "-");
    }
    for (double lon : {123.0, 10.0, -80.0})  // every airline the traffic generator flies, in each region
        for (const std::string& a : traffic::AirlineDesignators(lon)) EXPECT_NE(d.airlines.AIRofICAO(a), "") << a;

    const std::string bytes = test::ReadWholeFile(kData + "/demo.log");
    EXPECT_LT(bytes.size(), 3u << 20);
    d.host.surf_offset = 90;  // the Cebu map's
    // Stamped with its reception times, as a receiver writes them: replayed by the recording's time.
    RecordedInput input(d.pump, InputFormat::Auto);
    input.Feed({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    EXPECT_TRUE(input.timed());
    EXPECT_NEAR(input.RecordingSeconds(), 300.0, 0.5);
    EXPECT_GT(d.t.stats().crc_rejected, 0u);
    std::ifstream truth(kData + "/demo-truth.csv");
    std::string line;
    ASSERT_TRUE(std::getline(truth, line));
    int rows = 0;
    while (std::getline(truth, line)) {  // icao,flight,pos_kind,altitude_ft,speed_kt,lat,lon
        SCOPED_TRACE(line);
        std::vector<std::string> f;
        std::istringstream fields(line + ",");
        for (std::string v; std::getline(fields, v, ',');) f.push_back(v);
        ASSERT_EQ(f.size(), 7u);
        ++rows;
        const DbRecord& e = d.Entry(f[0]);
        EXPECT_EQ(std::tie(e.Flight, e.PosKind, e.Altitude, e.Speed, e.HasPos),
                  std::tuple(f[1].empty() ? "No-Call " : f[1], f[2], f[3].empty() ? 0 : std::stoi(f[3]),
                             f[4].empty() ? 0 : std::stoi(f[4]), !f[5].empty()));
        EXPECT_TRUE(f[1].empty() || !e.Airline.empty()) << "no airline name";
        if (!f[5].empty()) {  // within a CPR step (about 5 m)
            EXPECT_NEAR(e.Lat, std::stod(f[5]), 5e-5);
            EXPECT_NEAR(std::remainder(e.Lon - std::stod(f[6]), 360.0), 0.0, 5e-5);
        }
    }
    EXPECT_EQ(rows, 36);
    EXPECT_EQ(d.t.Db.InUse(), 36);
}

TEST(ShippedData, MapCatalogueAndPictures) {
    MapTable maps;
    std::string error;
    ASSERT_TRUE(LoadMapCatalogue(kData + "/setup.txt", maps, error)) << error;
    std::vector<maps::MapFrame> frames;  // the picture tool reads the same frames
    ASSERT_TRUE(maps::ReadFrames(kData + "/setup.txt", frames, error)) << error;
    ASSERT_EQ(maps.size(), 6u);
    ASSERT_EQ(frames.size(), 5u);
    const std::pair<const char*, double> name_offset[] = {
        {"Cebu / Visayas", 90}, {"Philippines", 90}, {"Western Europe", 0}, {"United States", -90}, {"World", 90}};
    for (int k = 1; k <= 5; ++k) {
        const MapDef& m = maps[k];
        const maps::MapFrame& f = frames[k - 1];
        SCOPED_TRACE(m.MapName);
        EXPECT_EQ(std::pair(m.MapName, m.MapSurfLonOffset), std::pair(std::string(name_offset[k - 1].first), name_offset[k - 1].second));
        EXPECT_EQ(m.MapLonSpan, 2 * m.MapLatSpan);
        EXPECT_TRUE(m.MapDotRadius > 0 && m.MapDrawWidth > 0);
        EXPECT_EQ(std::tie(f.file, f.lon_west, f.lat_south, f.lon_span, f.lat_span),
                  std::tie(m.MapFile, m.MapLonWest, m.MapLatSouth, m.MapLonSpan, m.MapLatSpan));
        const QImage img(QString::fromStdString(ResolveMapFile(m.MapFile, kData)));
        EXPECT_EQ(img.size(), QSize(800, 400)) << m.MapFile;
    }
    for (auto [dx, dy] : {std::pair{-1, -1}, {-1, 1}, {1, -1}, {1, 1}})  // the home mark, well inside the first map
        EXPECT_TRUE(OnMap(maps[1], 123.977966 + dx, 10.306 + dy)) << dx << " " << dy;
}

TEST(MapTool, RefusesBrokenInputDrawsLandAcrossThe180thMeridianAndLabels) {
    const std::pair<const char*, const char*> cases[] = {
        {"2\n\"A\",\"a.png\",0,10,0,5,3,1,0\n\"B\",\"b.png\",5,0,0,5,3,1,0\n",
         ": line 3: map \"B\" has a longitude span of zero or less"},
        {"1\n\"A\",\"a.png\",west,10,0,5,3,1,0\n", ": line 2: map \"A\": \"west\" is not a number"},
        {"2\n\"A\",\"a.png\",0,10,0,5,3,1,0\n", ": map 2 of 2 is incomplete (the file ends after 0 of its 9 fields)"},
    };
    std::vector<maps::MapFrame> frames;
    std::string error;
    int n = 0;
    for (auto [text, message] : cases) {
        const std::string path = test::WriteTemp("frames" + std::to_string(++n), text);
        EXPECT_FALSE(maps::ReadFrames(path, frames, error));
        EXPECT_EQ(error, path + message);
    }
    std::vector<maps::Polygon> land;
    const std::string junk = test::WriteTemp("junk.geojson", "{\"type\": \"FeatureCollection\", ");
    EXPECT_FALSE(maps::LoadGeoJson(QString::fromStdString(junk), land, error));
    EXPECT_EQ(error.rfind(junk + " is not GeoJSON", 0), 0u) << error;
    EXPECT_FALSE(maps::LoadGeoJson("/nonexistent/none.geojson", land, error));
    EXPECT_EQ(error.rfind("cannot read /nonexistent/none.geojson", 0), 0u) << error;

    // A square island from 175 E to 175 W, as the outline data writes it (with a jump).
    const std::string island = test::WriteTemp("island.geojson",
        R"({"type":"Polygon","coordinates":[[[175,-5],[180,-5],[-175,-5],[-175,5],[180,5],[175,5],[175,-5]]]})");
    ASSERT_TRUE(maps::LoadGeoJson(QString::fromStdString(island), land, error)) << error;
    int argc = 1;
    char name[] = "test", *argv[] = {name};
    QGuiApplication app(argc, argv);  // text needs the font database
    // A frame over the 180th meridian, and the same frame written one turn further west.
    // Sample points keep clear of the 5-degree graticule and of the island's edges.
    const QImage a = maps::ToPalette(maps::RenderMap({"Pacific", "p.png", 160, 40, -10, 20, 1}, {&land, nullptr}));
    const QImage b = maps::RenderMap({"West", "w.png", -200, 40, -10, 20, 1}, {&land, nullptr});
    EXPECT_EQ(a.format(), QImage::Format_Indexed8);
    // Land at 179 W 1 S and 176 E 1 N, sea at 165.5 E 7.5 S and 164.5 W 1.5 S.
    const QRgb land_px = a.pixel(420, 220), sea_px = a.pixel(110, 350);
    EXPECT_NE(land_px, sea_px);
    EXPECT_EQ(std::pair(a.pixel(320, 180), a.pixel(710, 230)), std::pair(land_px, sea_px));
    for (QPoint pt : {QPoint(420, 220), QPoint(320, 180), QPoint(110, 350), QPoint(710, 230)})
        EXPECT_EQ(b.pixel(pt), a.pixel(pt)) << pt.x() << "," << pt.y();

    for (auto [span, step] : {std::pair{4.0, 1.0}, {18.0, 5.0}, {30.0, 5.0}, {180.0, 30.0}})
        EXPECT_EQ(maps::GraticuleStep(span), step) << span;
    for (auto [value, lon, label] : {std::tuple{124.0, true, "124°E"}, {-0.5, false, "0.5°S"}, {180.0, true, "180°"},
                                     {0.0, false, "0°"}})
        EXPECT_EQ(maps::DegreeLabel(value, lon), QString::fromUtf8(label)) << value;
}
