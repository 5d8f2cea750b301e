// The data the program ships with parses with the program's own readers: the airline
// directory, the map catalogue and its pictures, the demo recording; and the map tool
// reads the same catalogue, refuses broken input and draws what it is given.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>

#include "airlines/airline_directory.h"
#include "decode/frame_assembler.h"
#include "decode/tracker.h"
#include "display/map_catalogue.h"
#include "map_render.h"
#include "traffic_sim.h"

using namespace ternwick;

namespace {

const std::string kData = std::string(TERNWICK_SOURCE_DIR) + "/data";

std::string WriteTemp(const QTemporaryDir& dir, const char* name, const std::string& text) {
    const std::string path = dir.filePath(name).toStdString();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

class DemoHost : public TrackerHost {
public:
    int SecondsInHour() const override { return 0; }
    bool PlotAir() const override { return false; }
    bool PlotSurf() const override { return false; }
    double MapSurfLonOffset() const override { return 90; }  // the Cebu map's offset
    void PlotPosDb(int16_t) override {}
};

}  // namespace

TEST(ShippedData, AirlineDirectory) {
    AirlineDirectory dir;
    std::string problem;
    EXPECT_EQ(dir.LoadFile(kData + "/airlinecodes.csv", problem), 5428);
    EXPECT_EQ(problem, "");

    EXPECT_EQ(dir.IATAofICAO("PAL"), "PR");
    EXPECT_EQ(dir.AIRofICAO("PAL"), "Philippine Airlines");
    EXPECT_EQ(dir.IATAofICAO("CEB"), "5J");
    EXPECT_EQ(dir.AIRofICAO("5J"), "Cebu Pacific");
    // A designator used twice: the airline flying today comes first.
    EXPECT_EQ(dir.AIRofICAO("JAL"), "Japan Airlines");
    EXPECT_EQ(dir.IATAofICAO("TYR"), "VO");
    EXPECT_EQ(dir.IATAofICAO("VJC"), "");  // no IATA code in the source: left empty

    for (const AirlineRec& r : dir.rows()) {
        ASSERT_EQ(r.IcaoCode.size(), 3u) << r.AirlineName;
        for (const std::string* f : {&r.IataCode, &r.IcaoCode, &r.AirlineName, &r.Remark})
            EXPECT_EQ(f->find_first_of("\"\\"), std::string::npos) << *f;
        EXPECT_NE(r.IataCode, "-");
    }
    // Every airline the traffic generator flies is known, in each region.
    for (double lon : {123.0, 10.0, -80.0})
        for (const std::string& d : traffic::AirlineDesignators(lon)) EXPECT_NE(dir.AIRofICAO(d), "") << d;
}

TEST(ShippedData, MapCatalogueAndPictures) {
    MapTable maps;
    std::string error;
    ASSERT_TRUE(LoadMapCatalogue(kData + "/setup.txt", maps, error)) << error;
    ASSERT_EQ(maps.size(), 6u);  // entry 0 stays empty
    const char* names[] = {"Cebu / Visayas", "Philippines", "Western Europe", "United States", "World"};
    const double offsets[] = {90, 90, 0, -90, 90};
    for (int k = 1; k <= 5; ++k) {
        const MapDef& m = maps[k];
        SCOPED_TRACE(m.MapName);
        EXPECT_EQ(m.MapName, names[k - 1]);
        EXPECT_EQ(m.MapLonSpan, 2 * m.MapLatSpan);
        EXPECT_EQ(m.MapSurfLonOffset, offsets[k - 1]);
        EXPECT_GT(m.MapDotRadius, 0);
        EXPECT_GT(m.MapDrawWidth, 0);
        const QImage img(QString::fromStdString(ResolveMapFile(m.MapFile, kData)));
        ASSERT_FALSE(img.isNull()) << m.MapFile;
        EXPECT_EQ(img.size(), QSize(800, 400));
    }
    // The home mark lies inside the first map, well away from its edges.
    const MapDef& cebu = maps[1];
    EXPECT_GT(123.977966 - cebu.MapLonWest, 1.0);
    EXPECT_GT(cebu.MapLonWest + cebu.MapLonSpan - 123.977966, 1.0);
    EXPECT_GT(10.306 - cebu.MapLatSouth, 1.0);
    EXPECT_GT(cebu.MapLatSouth + cebu.MapLatSpan - 10.306, 1.0);

    // The picture tool reads the same frames from the same file.
    std::vector<maps::MapFrame> frames;
    ASSERT_TRUE(maps::ReadFrames(kData + "/setup.txt", frames, error)) << error;
    ASSERT_EQ(frames.size(), 5u);
    for (size_t k = 0; k < frames.size(); ++k) {
        EXPECT_EQ(frames[k].file, maps[k + 1].MapFile);
        EXPECT_EQ(frames[k].lon_west, maps[k + 1].MapLonWest);
        EXPECT_EQ(frames[k].lat_south, maps[k + 1].MapLatSouth);
        EXPECT_EQ(frames[k].lon_span, maps[k + 1].MapLonSpan);
        EXPECT_EQ(frames[k].lat_span, maps[k + 1].MapLatSpan);
    }
}

TEST(MapTool, RefusesBrokenInput) {
    QTemporaryDir tmp;
    std::vector<maps::MapFrame> frames;
    std::string error;
    const std::string flat =
        WriteTemp(tmp, "flat.txt", "2\n\"A\",\"a.png\",0,10,0,5,3,1,0\n\"B\",\"b.png\",5,0,0,5,3,1,0\n");
    EXPECT_FALSE(maps::ReadFrames(flat, frames, error));
    EXPECT_EQ(error, flat + ": line 3: map \"B\" has a longitude span of zero or less");
    const std::string low = WriteTemp(tmp, "low.txt", "1\n\"A\",\"a.png\",0,10,0,0,3,1,0\n");
    EXPECT_FALSE(maps::ReadFrames(low, frames, error));
    EXPECT_EQ(error, low + ": line 2: map \"A\" has a latitude span of zero or less");
    const std::string bad = WriteTemp(tmp, "bad.txt", "1\n\"A\",\"a.png\",west,10,0,5,3,1,0\n");
    EXPECT_FALSE(maps::ReadFrames(bad, frames, error));
    EXPECT_EQ(error, bad + ": line 2: map \"A\": \"west\" is not a number");
    const std::string shortfile = WriteTemp(tmp, "short.txt", "2\n\"A\",\"a.png\",0,10,0,5,3,1,0\n");
    EXPECT_FALSE(maps::ReadFrames(shortfile, frames, error));
    EXPECT_EQ(error, shortfile + ": map 2 of 2 is incomplete (the file ends after 0 of its 9 fields)");

    std::vector<maps::Polygon> polys;
    EXPECT_FALSE(maps::LoadGeoJson(tmp.filePath("none.geojson"), polys, error));
    EXPECT_EQ(error.rfind("cannot read " + tmp.filePath("none.geojson").toStdString(), 0), 0u) << error;
    const std::string junk = WriteTemp(tmp, "junk.geojson", "{\"type\": \"FeatureCollection\", ");
    EXPECT_FALSE(maps::LoadGeoJson(QString::fromStdString(junk), polys, error));
    EXPECT_EQ(error.rfind(junk + " is not GeoJSON", 0), 0u) << error;
}

TEST(MapTool, DrawsLandAcrossThe180thMeridianAndLabels) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QGuiApplication app(argc, argv);  // text needs the font database

    // A square island from 175 E to 175 W, as the outline data writes it (with a jump).
    QTemporaryDir tmp;
    const std::string island = WriteTemp(tmp, "island.geojson",
        R"({"type":"Polygon","coordinates":[[[175,-5],[180,-5],[-175,-5],[-175,5],[180,5],[175,5],[175,-5]]]})");
    std::vector<maps::Polygon> land;
    std::string error;
    ASSERT_TRUE(maps::LoadGeoJson(QString::fromStdString(island), land, error)) << error;
    const maps::MapLayers layers{&land, nullptr};

    // A frame over the 180th meridian, and the same frame written one turn further west.
    // Sample points keep clear of the 5-degree graticule and of the island's edges.
    maps::MapFrame pacific{"Pacific", "p.png", 160, 40, -10, 20, 1};
    const QImage a = maps::ToPalette(maps::RenderMap(pacific, layers));
    EXPECT_EQ(a.format(), QImage::Format_Indexed8);
    const QRgb land_px = a.pixel(420, 220);  // 179 W, 1 S
    const QRgb sea_px = a.pixel(110, 350);   // 165.5 E, 7.5 S
    EXPECT_NE(land_px, sea_px);
    EXPECT_EQ(a.pixel(320, 180), land_px);   // 176 E, 1 N
    EXPECT_EQ(a.pixel(710, 230), sea_px);    // 164.5 W, 1.5 S
    maps::MapFrame west{"West", "w.png", -200, 40, -10, 20, 1};
    const QImage b = maps::RenderMap(west, layers);
    for (QPoint pt : {QPoint(420, 220), QPoint(320, 180), QPoint(110, 350), QPoint(710, 230)})
        EXPECT_EQ(b.pixel(pt), a.pixel(pt)) << pt.x() << "," << pt.y();

    EXPECT_EQ(maps::GraticuleStep(4), 1.0);
    EXPECT_EQ(maps::GraticuleStep(18), 5.0);
    EXPECT_EQ(maps::GraticuleStep(30), 5.0);
    EXPECT_EQ(maps::GraticuleStep(180), 30.0);
    EXPECT_EQ(maps::DegreeLabel(124, true), QStringLiteral("124°E"));
    EXPECT_EQ(maps::DegreeLabel(-0.5, false), QStringLiteral("0.5°S"));
    EXPECT_EQ(maps::DegreeLabel(180, true), QStringLiteral("180°"));
    EXPECT_EQ(maps::DegreeLabel(0, false), QStringLiteral("0°"));
}

TEST(ShippedData, DemoRecordingIsTrafficAroundCebu) {
    const std::string path = kData + "/demo.log";
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr) << path;
    AirlineDirectory airlines;
    std::string problem;
    airlines.LoadFile(kData + "/airlinecodes.csv", problem);
    DemoHost host;
    Tracker t(host, airlines);
    FrameAssembler frames;
    size_t bytes = 0;
    for (int c; (c = std::fgetc(f)) != EOF; ++bytes) {
        if (!frames.Feed(static_cast<unsigned char>(c))) continue;
        t.Squitter.assign(frames.Digits());
        t.EvalSquitter();
        frames.Clear();
    }
    std::fclose(f);
    EXPECT_LT(bytes, 3u << 20);
    EXPECT_GT(t.stats().crc_rejected, 0u);
    EXPECT_GT(t.stats().per_df[11], 0u);

    int airborne = 0, surface = 0;
    for (int i = 0; i <= FlightTable::kLast; ++i) {
        const DbRecord& e = t.Db(i);
        if (e.Icao.empty() || (e.Lat == 0 && e.Lon == 0)) continue;
        SCOPED_TRACE(e.Icao + " " + e.Flight);
        EXPECT_NE(e.Airline, "");
        if (e.PosKind == "S") {
            ++surface;  // on the ground at Mactan
            EXPECT_NEAR(e.Lat, 10.3075, 0.02);
            EXPECT_NEAR(e.Lon, 123.9794, 0.02);
        } else {
            ++airborne;  // within the Philippines map
            EXPECT_GT(e.Lat, 4.0);
            EXPECT_LT(e.Lat, 22.0);
            EXPECT_GT(e.Lon, 104.0);
            EXPECT_LT(e.Lon, 140.0);
        }
    }
    EXPECT_GE(airborne, 24);
    EXPECT_GE(surface, 4);
}
