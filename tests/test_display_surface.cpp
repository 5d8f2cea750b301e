// Pixels of the map: plotted circles, labels, track lines, the home mark, picture loading.
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <vector>

#include "display/map_view.h"

using namespace ternwick;

namespace {

class QtGuiEnvironment : public testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_display";
        static char* argv[] = {name, nullptr};
        app_ = new QGuiApplication(argc, argv);
    }
    QGuiApplication* app_ = nullptr;
};
testing::Environment* const qt_env = testing::AddGlobalTestEnvironment(new QtGuiEnvironment);

// 10 degrees by 5 from 0E 50N: x = lon * 80, y = (55 - lat) * 80.
MapDef TestMap() {
    MapDef m;
    m.MapName = "Test";
    m.MapLonWest = 0.0;
    m.MapLonSpan = 10.0;
    m.MapLatSouth = 50.0;
    m.MapLatSpan = 5.0;
    m.MapDotRadius = 3;
    m.MapDrawWidth = 2;
    return m;
}

QRgb Rgb(int r, int g, int b) { return qRgb(r, g, b); }

// Pixels of exactly this colour inside a rectangle.
int CountColour(const QImage& img, QRect r, QRgb colour) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixel(x, y) == colour) ++n;
    return n;
}

struct Fixture {
    FlightTable db;
    MapView view;
    std::vector<int16_t> reported;
    Fixture() {
        view.SetCurrentMap(TestMap());
        view.SetMapFont();
        view.SetReportStep([this](int16_t i) { reported.push_back(i); });
    }
    int16_t Add(int i, const char* icao, const char* kind, double lon, double lat) {
        db.SetIcao(i, icao);
        db(i).PosKind = kind;
        db(i).Lon = lon;
        db(i).Lat = lat;
        return static_cast<int16_t>(i);
    }
};

}  // namespace

TEST(MapPlot, FirstPlotLabelsLaterPlotsDrawTrack) {
    Fixture f;
    const QRgb colour = Rgb(10, 126, 29);  // 4CA1F3 airborne
    const int16_t i = f.Add(7, "4CA1F3", "A", 2.5, 52.5);
    f.view.PlotPosDb(f.db, i);
    const QImage first = f.view.Surface().Image();
    EXPECT_EQ(first.pixel(200, 200), colour);
    EXPECT_EQ(f.db(i).PlotX, 200);
    EXPECT_EQ(f.db(i).PlotY, 200);
    // The label "   4CA1F3" starts three characters right of the centre, below it.
    EXPECT_GT(CountColour(first, QRect(210, 200, 70, 14), colour), 10);
    EXPECT_EQ(CountColour(first, QRect(206, 185, 100, 12), colour), 0);  // nothing above

    f.db(i).Lon = 5.0;  // second plot at (400, 200)
    f.view.PlotPosDb(f.db, i);
    const QImage second = f.view.Surface().Image();
    EXPECT_EQ(second.pixel(400, 200), colour);
    EXPECT_EQ(second.pixel(300, 200), colour);  // the track between the two plots
    EXPECT_EQ(second.pixel(300, 190), first.pixel(300, 190));
    EXPECT_EQ(CountColour(second, QRect(410, 200, 70, 14), colour), 0);  // no second label
    EXPECT_EQ(f.db(i).PlotX, 400);
    EXPECT_EQ(f.reported, (std::vector<int16_t>{7, 7}));

    // Off the map and back: plot state cleared, then a new label and no line across the gap.
    f.db(i).Lon = 12.0;
    f.view.PlotPosDb(f.db, i);
    EXPECT_EQ(f.db(i).PlotX, 0);
    EXPECT_EQ(f.db(i).PlotY, 0);
    f.db(i).Lon = 6.25;  // x 500
    f.db(i).Lat = 51.25;  // y 300
    f.view.PlotPosDb(f.db, i);
    const QImage back = f.view.Surface().Image();
    EXPECT_GT(CountColour(back, QRect(510, 300, 70, 14), colour), 10);
    EXPECT_EQ(back.pixel(450, 250), first.pixel(450, 250));
    EXPECT_EQ(f.reported.size(), 4u);
}

TEST(MapPlot, EdgesRoundingSurfaceColourAndLabelLimit) {
    Fixture f;
    const QImage blank = f.view.Surface().Image();
    // On the west edge and on the north edge: off the map, nothing drawn, still reported.
    const int16_t a = f.Add(0, "4CA1F3", "A", 0.0, 52.5);
    f.db(a).PlotX = 123;
    f.db(a).PlotY = 45;
    f.view.PlotPosDb(f.db, a);
    const int16_t b = f.Add(1, "1B2C3D", "A", 5.0, 55.0);
    f.view.PlotPosDb(f.db, b);
    EXPECT_EQ(f.view.Surface().Image(), blank);
    EXPECT_EQ(f.db(a).PlotX, 0);
    EXPECT_EQ(f.db(a).PlotY, 0);
    EXPECT_EQ(f.reported, (std::vector<int16_t>{0, 1}));

    // Surface entries are 24 lighter; x 101.5 and y 212.5 go to the even neighbours.
    MapDef wide = TestMap();  // 4 pixels a degree both ways, so the halves are exact
    wide.MapLonSpan = 200.0;
    wide.MapLatSouth = -10.0;
    wide.MapLatSpan = 100.0;
    f.view.SetCurrentMap(wide);
    const int16_t s = f.Add(2, "4CA1F3", "S", 25.375, 36.875);
    f.view.PlotPosDb(f.db, s);
    EXPECT_EQ(f.db(s).PlotX, 102);
    EXPECT_EQ(f.db(s).PlotY, 212);
    EXPECT_EQ(f.view.Surface().Image().pixel(101, 212), Rgb(34, 150, 53));
    f.view.SetCurrentMap(TestMap());

    // First plot at x 750: no label then, and none on later plots on this map.
    const int16_t r = f.Add(3, "1B2C3D", "A", 750.0 / 80.0, 52.5);
    f.view.PlotPosDb(f.db, r);
    f.db(r).Lat = 52.0;
    f.view.PlotPosDb(f.db, r);
    const QRgb c = Rgb(224, 29, 105);  // 1B2C3D: 6888928 (green's half lands in the red byte)
    EXPECT_EQ(f.view.Surface().Image().pixel(750, 200), c);
    EXPECT_EQ(CountColour(f.view.Surface().Image(), QRect(758, 190, 41, 60), c), 0);
}

TEST(MapPlot, HomeMarkDrawBlobAndDrawName) {
    Fixture f;
    MapDef cebu = TestMap();
    cebu.MapLonWest = 120.0;
    cebu.MapLonSpan = 8.0;
    cebu.MapLatSouth = 8.5;
    cebu.MapLatSpan = 4.0;
    f.view.SetCurrentMap(cebu);

    double x = 120.0, y = 8.5;
    f.view.DrawBlob(x, y, 255);
    EXPECT_DOUBLE_EQ(x, 0.0);
    EXPECT_DOUBLE_EQ(y, 400.0);
    const QImage corner = f.view.Surface().Image();
    x = 119.0;  // one degree west: 359 degrees east, far off the picture
    f.view.DrawBlob(x, y, 255);
    EXPECT_DOUBLE_EQ(x, 35900.0);
    EXPECT_EQ(f.view.Surface().Image(), corner);

    f.view.Surface().Wipe();
    f.view.DrawHomeMark();  // 123.977966E 10.306N: (397.7966, 219.4)
    const QImage img = f.view.Surface().Image();
    const QRgb red = Rgb(255, 0, 0);
    EXPECT_EQ(img.pixel(398, 219), red);
    const double line = f.view.Surface().TextHeight();
    EXPECT_FLOAT_EQ(f.view.Surface().CurrentX(), 397.7966f);
    EXPECT_NEAR(f.view.Surface().CurrentY(), 219.4 + 2 * line, 0.01);
    // "Airport" on the second line starts at the dot's x; nothing left of it.
    const int top2 = static_cast<int>(219.4 + line);
    EXPECT_GT(CountColour(img, QRect(398, top2, 40, static_cast<int>(line)), red), 10);
    EXPECT_EQ(CountColour(img, QRect(380, top2, 17, static_cast<int>(line)), red), 0);
}

TEST(MapPicture, LoadShowsOwnSizeClearWipesAndFailureKeepsPicture) {
    const QString dir = QDir::tempPath() + "/ternwick_display_test";
    QDir().mkpath(dir);
    QImage pic(100, 50, QImage::Format_RGB32);
    pic.fill(qRgb(0, 0, 200));
    ASSERT_TRUE(pic.save(dir + "/small.png"));

    Fixture f;
    MapTable table(3);
    table[1] = TestMap();
    table[1].MapFile = (dir + "/small.png").toStdString();
    table[2] = TestMap();
    table[2].MapFile = (dir + "/missing.png").toStdString();
    f.view.SetCatalogue(table);
    ASSERT_TRUE(f.view.SelectMap(1));
    EXPECT_FALSE(f.view.SelectMap(3));
    std::string error;
    ASSERT_TRUE(f.view.ClearMap(f.db, error)) << error;
    const QImage loaded = f.view.Surface().Image();
    EXPECT_EQ(loaded.size(), QSize(800, 400));
    EXPECT_EQ(loaded.pixel(99, 49), qRgb(0, 0, 200));
    EXPECT_EQ(loaded.pixel(100, 10), qRgb(255, 255, 192));  // background beside the picture

    const int16_t i = f.Add(4, "4CA1F3", "A", 2.5, 52.5);
    f.view.PlotPosDb(f.db, i);
    ASSERT_TRUE(f.view.ClearMap(f.db, error));  // "Clr Map": marks gone, plot state reset
    EXPECT_EQ(f.view.Surface().Image(), loaded);
    EXPECT_EQ(f.db(i).PlotX, 0);
    EXPECT_EQ(f.db(i).Lon, 2.5);  // the table keeps its positions

    f.view.PlotPosDb(f.db, i);
    ASSERT_TRUE(f.view.SelectMap(2));
    EXPECT_FALSE(f.view.ClearMap(f.db, error));
    EXPECT_NE(error.find("missing.png"), std::string::npos) << error;
    EXPECT_EQ(f.view.Surface().Image(), loaded);  // previous picture, wiped of marks
    EXPECT_EQ(f.db(i).PlotY, 0);
}
