// Pixels of the map: plotted circles, labels, track lines, the home mark, picture loading.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include <vector>

#include "display/map_view.h"

#include "temp_path.h"

using namespace ternwick;

namespace {

MapDef Frame(double west, double lon_span, double south, double lat_span) {
    return {"", "", west, south, lat_span, lon_span, 3, 2};
}
const MapDef kTestMap = Frame(0, 10, 50, 5);  // 0E..10E, 50N..55N: x = lon * 80, y = (55 - lat) * 80

int CountColour(const QImage& img, QRect r, QRgb colour) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += img.pixel(x, y) == colour;
    return n;
}

struct Fixture {
    FlightTable db;
    MapView view;
    std::vector<int16_t> reported;
    Fixture() {
        static int argc = 1;
        static char name[] = "test_display", *argv[] = {name, nullptr};
        [[maybe_unused]] static const QGuiApplication* app = new QGuiApplication(argc, argv);  // the fonts need it
        view.SetCurrentMap(kTestMap);
        view.SetMapFont();
        view.SetReportStep([this](int16_t i) { reported.push_back(i); });
    }
    void Plot(int i, const char* icao, const char* kind, double lon, double lat) {
        if (db(i).Icao != icao) db.SetIcao(i, icao);
        db(i).PosKind = kind, db(i).Lon = lon, db(i).Lat = lat;
        view.PlotPosDb(db, static_cast<int16_t>(i));
    }
    QImage Image() { return view.Surface().Image(); }
    std::pair<int, int> PlottedAt(int i) { return {db(i).PlotX, db(i).PlotY}; }
};

}  // namespace

TEST(MapPlot, LabelOnFirstPlotTrackAfterNothingOnEdgesSurfaceColourAndTheHomeMark) {
    Fixture f;
    const QImage blank = f.Image();
    // On the west edge and on the north edge: off the map, nothing drawn, still reported.
    f.db.SetIcao(0, "4CA1F3");
    f.db(0).PlotX = 123, f.db(0).PlotY = 45;
    f.Plot(0, "4CA1F3", "A", 0.0, 52.5);
    f.Plot(1, "1B2C3D", "A", 5.0, 55.0);
    EXPECT_EQ(f.Image(), blank);
    EXPECT_EQ(f.PlottedAt(0), std::pair(0, 0));

    const QRgb colour = qRgb(10, 126, 29);  // 4CA1F3 airborne
    f.Plot(7, "4CA1F3", "A", 2.5, 52.5);
    const QImage first = f.Image();
    EXPECT_EQ(first.pixel(200, 200), colour);
    EXPECT_EQ(f.PlottedAt(7), std::pair(200, 200));
    // The label "   4CA1F3" starts three characters right of the centre, below it.
    EXPECT_GT(CountColour(first, QRect(210, 200, 70, 14), colour), 10);
    EXPECT_EQ(CountColour(first, QRect(206, 185, 100, 12), colour), 0);

    f.Plot(7, "4CA1F3", "A", 5.0, 52.5);
    const QImage second = f.Image();
    EXPECT_EQ(second.pixel(400, 200), colour);
    EXPECT_EQ(second.pixel(300, 200), colour);  // the track between the two plots
    EXPECT_EQ(second.pixel(300, 190), first.pixel(300, 190));
    EXPECT_EQ(CountColour(second, QRect(410, 200, 70, 14), colour), 0);  // no second label
    EXPECT_EQ(f.PlottedAt(7), std::pair(400, 200));
    EXPECT_EQ(f.reported, (std::vector<int16_t>{0, 1, 7, 7}));

    // A first plot at x 750 gets no label, nor do later plots on this map.
    f.Plot(3, "1B2C3D", "A", 750.0 / 80.0, 52.5);
    f.Plot(3, "1B2C3D", "A", 750.0 / 80.0, 52.0);
    const QRgb c = qRgb(224, 29, 105);  // 1B2C3D: 6888928 (green's half lands in the red byte)
    EXPECT_EQ(f.Image().pixel(750, 200), c);
    EXPECT_EQ(CountColour(f.Image(), QRect(758, 190, 41, 60), c), 0);

    // Surface entries are 24 lighter; x 101.5 and y 212.5 (exact at 4 px a degree) go to the even neighbours.
    f.view.SetCurrentMap(Frame(0, 200, -10, 100));
    f.Plot(2, "4CA1F3", "S", 25.375, 36.875);
    EXPECT_EQ(f.PlottedAt(2), std::pair(102, 212));
    EXPECT_EQ(f.Image().pixel(101, 212), qRgb(34, 150, 53));

    // The home mark and its name, away from all of the above.
    f.view.SetCurrentMap(Frame(120, 8, 8.5, 4));
    f.view.DrawHomeMark();  // 123.977966E 10.306N: (397.7966, 219.4)
    const QImage img = f.Image();
    const QRgb red = qRgb(255, 0, 0);
    EXPECT_EQ(img.pixel(398, 219), red);
    // "Airport" on the second line starts at the dot's x; nothing left of it.
    EXPECT_FLOAT_EQ(f.view.Surface().CurrentX(), 397.7966f);
    const double line = f.view.Surface().TextHeight();
    const int top = static_cast<int>(219.4 + line), height = static_cast<int>(line);
    EXPECT_GT(CountColour(img, QRect(398, top, 40, height), red), 10);
    EXPECT_EQ(CountColour(img, QRect(380, top, 17, height), red), 0);
}

TEST(MapPicture, LoadShowsOwnSizeClearWipesAndFailureKeepsPicture) {
    const QString small = QString::fromStdString(ternwick::test::TempPath("small.png"));
    QImage pic(100, 50, QImage::Format_RGB32);
    pic.fill(qRgb(0, 0, 200));
    ASSERT_TRUE(pic.save(small));
    Fixture f;
    MapTable table{MapDef{}, kTestMap, kTestMap};
    table[1].MapFile = small.toStdString();
    table[2].MapFile = ternwick::test::TempPath("missing.png");
    f.view.SetCatalogue(table);
    ASSERT_TRUE(f.view.SelectMap(1));
    EXPECT_FALSE(f.view.SelectMap(3));
    std::string error;
    ASSERT_TRUE(f.view.ClearMap(f.db, error)) << error;
    const QImage loaded = f.Image();
    EXPECT_EQ(loaded.size(), QSize(800, 400));
    EXPECT_EQ(loaded.pixel(99, 49), qRgb(0, 0, 200));
    EXPECT_EQ(loaded.pixel(100, 10), qRgb(255, 255, 192));  // background beside the picture

    f.Plot(4, "4CA1F3", "A", 2.5, 52.5);
    ASSERT_TRUE(f.view.ClearMap(f.db, error));  // "Clr Map": marks gone, plot state reset
    EXPECT_EQ(f.Image(), loaded);
    EXPECT_EQ(std::pair(f.db(4).PlotX, f.db(4).Lon), std::pair(int16_t{0}, 2.5));  // the table keeps its positions

    f.Plot(4, "4CA1F3", "A", 2.5, 52.5);
    ASSERT_TRUE(f.view.SelectMap(2));
    EXPECT_FALSE(f.view.ClearMap(f.db, error));
    EXPECT_NE(error.find("missing.png"), std::string::npos) << error;
    EXPECT_EQ(f.Image(), loaded);  // previous picture, wiped of marks
    EXPECT_EQ(f.db(4).PlotY, 0);
}
