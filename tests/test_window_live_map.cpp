// The live map in the window: its tab and size, drawn only on a change, selection, aircraft leaving the table.
#include <QScreen>
#include <QTabWidget>
#include <QTextBlock>

#include "gui/live_map_widget.h"
#include "window_support.h"

using namespace ternwick;
using namespace ternwick::test;

using LiveMapWindowTest = WindowFixture;

TEST_F(LiveMapWindowTest, TabsFitA1024By768ScreenAnd1920By1080AndTheMapIsDrawnOnlyWhenSomethingChanged) {
    auto* tabs = w->findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "Live map");
    EXPECT_EQ(tabs->tabText(1), "Map");
    EXPECT_EQ(tabs->currentIndex(), 0);
    // The preferred size never exceeds the screen; every control without scrolling wants
    // more than the test's small screen has, and a 1920 x 1080 screen shows them all.
    const QSize room = w->screen()->availableSize();
    EXPECT_LE(w->sizeHint().width(), room.width());
    EXPECT_LE(w->sizeHint().height(), room.height());
    EXPECT_GE(w->WantedSize().width(), 1240);
    EXPECT_GT(w->WantedSize().height(), 700);
    EXPECT_LE(w->WantedSize().height(), 1080);
    // A 1024 x 768 screen less a title bar and a panel.
    const QSize min = w->minimumSizeHint().expandedTo(w->minimumSize());
    EXPECT_LE(min.width(), 1024);
    EXPECT_LE(min.height(), 700);
    w->resize(1024, 700);
    QApplication::processEvents();
    EXPECT_EQ(w->size(), QSize(1024, 700));
    auto* live = Named<LiveMapWidget>(w.get(), "Live map");
    for (const char* name : {"Live map", "Live flight list", "Aircraft details", "Flight counts", "Last message"}) {
        QWidget* c = Named(w.get(), name);
        const QRect r(c->mapTo(w.get(), QPoint(0, 0)), c->size());
        EXPECT_TRUE(w->rect().contains(r)) << name;
        EXPECT_GE(c->height(), 60) << name;
    }
    EXPECT_GE(live->width(), 300);
    const QSize small = live->size();
    // Larger window, larger live map, and a picture of that size.
    w->resize(1920, 1040);
    QApplication::processEvents();
    EXPECT_GT(live->width(), small.width() + 800);
    EXPECT_GT(live->height(), small.height() + 250);
    live->RenderNow();
    EXPECT_EQ(live->Picture().size(), live->size());
    EXPECT_EQ(live->accessibleDescription(), "centre 10.3000 N 123.9000 E, 250.0 km across, 0 aircraft");

    // Nothing changes (no aircraft to age): refreshing draws nothing; a new view is drawn.
    const int renders = live->Renders();
    for (int i = 0; i < 5; ++i) {
        live->Refresh();
        QTest::qWait(30);
    }
    EXPECT_EQ(live->Renders(), renders);
    live->SetView({10.0, 124.0}, 300);
    EXPECT_TRUE(Until([&] { return live->Renders() > renders; }));
    EXPECT_EQ(live->accessibleDescription(), "centre 10.0000 N 124.0000 E, 300.0 km across, 0 aircraft");
}

TEST(WindowStartSize, MostOfTheScreenAllOfItWhereTheControlsWantItNeverBelowTheMinimum) {
    const std::pair<QSize, QSize> cases[] = {  // {available, start size}
        {{1920, 1080}, {1728, 1080}}, {{1920, 1040}, {1728, 1040}}, {{1024, 768}, {1024, 768}},
        {{1280, 1024}, {1240, 1024}}, {{2560, 1440}, {2304, 1296}}, {{800, 600}, {900, 620}},
    };
    for (const auto& [available, expect] : cases)
        EXPECT_EQ(MainWindow::StartSize({1240, 1084}, {900, 620}, available), expect) << available.width() << "x" << available.height();
}

TEST_F(LiveMapWindowTest, SelectOnTheMapAndInTheListReadTheDetailsClearWithEscapeAndLeaveWithTheTable) {
    ASSERT_TRUE(ReplayToEnd(kDemo));
    auto* live = Named<LiveMapWidget>(w.get(), "Live map");
    EXPECT_EQ(Text("Aircraft details"), "No aircraft selected");
    live->SetView({10.30, 123.98}, 20);  // the airport
    live->RenderNow();
    EXPECT_EQ(live->accessibleDescription(), "centre 10.3000 N 123.9800 E, 20.0 km across, 6 aircraft");
    // Every label at the airport is drawn once zoomed in.
    for (const DrawnAircraft& a : live->Frame().aircraft) EXPECT_TRUE(a.labelled) << std::hex << a.key;
    ASSERT_FALSE(live->Frame().aircraft.empty());
    const DrawnAircraft first = live->Frame().aircraft.front();
    QTest::mouseClick(live, Qt::LeftButton, {}, QPoint(int(first.x), int(first.y)));
    EXPECT_EQ(live->Selected(), first.key);
    const QString icao = QString::number(first.key, 16).toUpper();
    EXPECT_TRUE(Text("Aircraft details").startsWith("ICAO address: " + icao + "\n")) << Text("Aircraft details").toStdString();
    EXPECT_TRUE(Text("Aircraft details").contains("Altitude: on the ground\n"));
    // Escape clears; a list row selects its aircraft (75953D: China Airlines, airborne).
    QTest::keyClick(live, Qt::Key_Escape);
    EXPECT_EQ(live->Selected(), kNoAddress);
    EXPECT_EQ(Text("Aircraft details"), "No aircraft selected");
    auto* list = Named<QPlainTextEdit>(w.get(), "Live flight list");
    Until([&] { return list->toPlainText().contains("75953D"); });
    QTextCursor row = list->document()->find(QStringLiteral("75953D"));
    ASSERT_FALSE(row.isNull());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->cursorRect(row).center());
    EXPECT_EQ(live->Selected(), 0x75953Du);
    EXPECT_TRUE(Text("Aircraft details").contains("Callsign: CAL9597\nIATA flight: CI9597\nAirline: China Airlines\n"))
        << Text("Aircraft details").toStdString();
    EXPECT_TRUE(Text("Aircraft details").contains("Country: Philippines\n"));
    ASSERT_EQ(list->extraSelections().size(), 1);
    EXPECT_TRUE(list->extraSelections()[0].cursor.block().text().startsWith("75953D"));
    // Tab steps to an aircraft in view; a click on empty sea clears.
    live->setFocus();
    live->SetView({10.30, 123.98}, 20);
    live->RenderNow();
    QTest::keyClick(live, Qt::Key_Tab);
    EXPECT_NE(live->Selected(), 0x75953Du);
    EXPECT_NE(live->Selected(), kNoAddress);
    QTest::mouseClick(live, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(live->Selected(), kNoAddress);

    // An aircraft leaving the table leaves the map with its trail, and its selection.
    live->Fit();
    live->RenderNow();
    const size_t before = live->Frame().aircraft.size();
    EXPECT_GE(before, 30u);
    const int16_t i = session.Db().IcaoDbPointer("75953D");
    ASSERT_GE(i, 0);
    live->Select(0x75953D);
    ASSERT_NE(session.tracks().Find(0x75953D), nullptr);
    session.Db().InitDbPos(i);
    EXPECT_EQ(session.tracks().Find(0x75953D), nullptr);
    live->RenderNow();
    EXPECT_EQ(live->Frame().aircraft.size(), before - 1);
    EXPECT_EQ(live->Selected(), kNoAddress);
}
