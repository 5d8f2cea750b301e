// The "APRS Output:" group: filters and their counts, an APRS-IS passcode and the login's answer.
#include <QComboBox>
#include <QSpinBox>

#include "fake_aprs_is.h"
#include "temp_path.h"
#include "window_support.h"

using namespace ternwick;
using namespace ternwick::test;

using AprsWindowTest = WindowFixture;

TEST_F(AprsWindowTest, FiltersTheirWarningsAnAprsIsLoginVerifiedOrRefusedAndTheCounts) {
    QGroupBox* group = Group(w.get(), "APRS Output:");
    auto* radius = Named<QSpinBox>(group, "APRS radius");
    auto* min_alt = Named<QSpinBox>(group, "APRS min. altitude");
    auto* max_alt = Named<QSpinBox>(group, "APRS max. altitude");
    ASSERT_TRUE(Named<QAbstractButton>(group, "APRS callsign only"));
    EXPECT_EQ(Labelled<QSpinBox>(group, "Radius:"), radius);
    EXPECT_EQ(Labelled<QSpinBox>(group, "Max. alt:"), max_alt);
    EXPECT_EQ(radius->text(), "off");

    // A radius without a receiver position, bounds that leave nothing: said once.
    radius->setValue(10);
    emit radius->editingFinished();
    EXPECT_TRUE(TakeMessage(w.get()).contains("no receiver position is set"));
    emit radius->editingFinished();
    EXPECT_EQ(TakeMessage(w.get()), "");
    Enter(Named<QLineEdit>(Group(w.get(), "Receiver:"), "Receiver position"), "52,4");
    min_alt->setValue(20000);
    max_alt->setValue(10000);
    emit max_alt->editingFinished();
    EXPECT_EQ(TakeMessage(w.get()), "APRS min. altitude 20000 ft is above APRS max. altitude 10000 ft: no aircraft is "
                                    "reported.");
    min_alt->setValue(0);
    max_alt->setValue(40000);

    FakeAprsIs server("12345");
    QAbstractButton* start = InGroup("APRS Output:", "Start COM:");
    auto* pass = Named<QLineEdit>(w.get(), "APRS-IS passcode");
    EXPECT_FALSE(pass->isEnabled());  // only with APRS-IS
    SetText("APRS callsign", "N0CALL-10");
    InGroup("APRS Output:", "KISS")->click();
    InGroup("APRS Output:", "APRS-IS")->click();
    EXPECT_EQ(Text("APRS path"), "TCPIP*");
    ASSERT_TRUE(pass->isEnabled());
    pass->setText("-1");
    SetText("APRS port", server.Target());
    start->click();
    ASSERT_TRUE(Until([&] { return start->text() == "Start COM:"; }));
    EXPECT_EQ(Label("APRS link"), "unverified");
    EXPECT_TRUE(TakeMessage(w.get()).contains("did not verify the login of N0CALL-10"));
    EXPECT_EQ(server.lines.size(), 1u);  // the login only
    pass->setText("12345");
    start->click();
    ASSERT_TRUE(Until([&] { return Label("APRS link") == "verified"; }));
    EXPECT_EQ(start->text(), "Stop COM:");
    EXPECT_FALSE(pass->isEnabled());
    EXPECT_EQ(server.logins, 2);

    // The published pair, 16.1 NM from the receiver: both positions held back by the radius.
    ASSERT_TRUE(ReplayToEnd(WriteTemp("window_filter.log", kPairLog)));
    ASSERT_TRUE(Until([&] { return Text("Flight counts").endsWith(
            "APRS sent: 0, held back: 2\n  interval 0, unmoved 0, ceiling 0, radius 2, max. alt 0; on the air: 0\n"); }))
        << Text("Flight counts").toStdString();
    EXPECT_EQ(server.lines.size(), 2u);  // the two logins only
    start->click();
    EXPECT_EQ(Label("APRS link"), "");
}

TEST_F(AprsWindowTest, ObjectNameSymbolAndCommentChoices) {
    const AprsOutput& out = session.aprs();
    EXPECT_EQ(out.Look(), AprsLook{});  // the long-standing reports
    auto* name = Labelled<QComboBox>(w.get(), "Name:");
    auto* symbol = Labelled<QComboBox>(w.get(), "Symbol:");
    EXPECT_EQ(name->currentText(), "address");
    EXPECT_EQ(symbol->currentText(), "/^");
    name->setCurrentIndex(name->findText("flight"));
    EXPECT_EQ(out.Look().naming, AprsNaming::Flight);
    Enter(symbol->lineEdit(), "category");
    EXPECT_TRUE(out.Look().symbol.by_category);
    // A text that is no symbol is told, naming the box, and the last one put back.
    Enter(symbol->lineEdit(), "x^");
    EXPECT_EQ(TakeMessage(w.get()), "APRS symbol \"x^\": the symbol table is / or \\, or an overlay 0-9 or A-Z");
    EXPECT_EQ(symbol->currentText(), "category");
    EXPECT_TRUE(out.Look().symbol.by_category);
    Enter(symbol->lineEdit(), "\\X");
    EXPECT_EQ(out.Look().symbol, (AprsSymbolChoice{.by_category = false, .fixed = {'\\', 'X'}}));
    InGroup("APRS Output:", "Comment")->click();
    EXPECT_TRUE(out.Look().comment);
}
