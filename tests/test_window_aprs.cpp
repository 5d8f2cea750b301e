// The "APRS Output:" group with an APRS-IS server: the transport, the passcode box, the
// login's answer beside the port box, and the message for a login the server refused; the
// filters and their counts.
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>

#include "fake_aprs_is.h"
#include "io/file_replay.h"
#include "temp_path.h"
#include "window_support.h"

using namespace ternwick;
using namespace ternwick::test;

namespace {

struct AprsWindowTest : WindowFixture {
    QAbstractButton* InGroup(const char* group, const char* name) { return Button(Group(w.get(), group), name); }
};

}  // namespace

TEST_F(AprsWindowTest, AprsIsLoginVerifiedOrRefused) {
    FakeAprsIs server("12345");
    QAbstractButton* start = InGroup("APRS Output:", "Start COM:");
    auto* pass = Named<QLineEdit>(w.get(), "APRS-IS passcode");
    EXPECT_FALSE(pass->isEnabled());  // only with APRS-IS
    Named<QLineEdit>(w.get(), "APRS callsign")->setText("N0CALL-10");
    InGroup("APRS Output:", "KISS")->click();
    InGroup("APRS Output:", "APRS-IS")->click();
    EXPECT_EQ(Named<QLineEdit>(w.get(), "APRS path")->text(), "TCPIP*");
    ASSERT_TRUE(pass->isEnabled());
    pass->setText("-1");
    Named<QLineEdit>(w.get(), "APRS port")->setText(QString::fromStdString(server.Target()));
    start->click();
    ASSERT_TRUE(Until([&] { return start->text() == "Start COM:"; }));
    EXPECT_EQ(Named<QLabel>(w.get(), "APRS link")->text(), "unverified");
    EXPECT_TRUE(TakeMessage(w.get()).contains("did not verify the login of N0CALL-10"));
    EXPECT_EQ(server.lines.size(), 1u);  // the login only

    pass->setText("12345");
    start->click();
    ASSERT_TRUE(Until([&] { return Named<QLabel>(w.get(), "APRS link")->text() == "verified"; }));
    EXPECT_EQ(start->text(), "Stop COM:");
    EXPECT_FALSE(pass->isEnabled());
    EXPECT_EQ(server.logins, 2);
    start->click();
    EXPECT_EQ(Named<QLabel>(w.get(), "APRS link")->text(), "");
}

TEST_F(AprsWindowTest, FiltersByNameTheirWarningsAndCounts) {
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
    EXPECT_TRUE(TakeMessage(w.get()).contains("no receiver position is set")) ;
    emit radius->editingFinished();
    EXPECT_EQ(TakeMessage(w.get()), "");
    auto* position = Named<QLineEdit>(Group(w.get(), "Receiver:"), "Receiver position");
    position->setText("52,4");
    emit position->editingFinished();
    min_alt->setValue(20000);
    max_alt->setValue(10000);
    emit max_alt->editingFinished();
    EXPECT_EQ(TakeMessage(w.get()), "APRS min. altitude 20000 ft is above APRS max. altitude 10000 ft: no aircraft is "
                                    "reported.");
    min_alt->setValue(0);
    max_alt->setValue(40000);

    // The published pair, 16.1 NM from the receiver: both positions held back by the radius.
    FakeAprsIs server("12345");
    Named<QLineEdit>(w.get(), "APRS callsign")->setText("N0CALL-10");
    InGroup("APRS Output:", "APRS-IS")->click();
    Named<QLineEdit>(w.get(), "APRS-IS passcode")->setText("12345");
    Named<QLineEdit>(w.get(), "APRS port")->setText(QString::fromStdString(server.Target()));
    InGroup("APRS Output:", "Start COM:")->click();
    ASSERT_TRUE(Until([&] { return Named<QLabel>(w.get(), "APRS link")->text() == "verified"; }));
    w->ReplayFile(QString::fromStdString(WriteTemp(
        "window_filter.log", "*8D40621D58C382D690C8AC2863A7;\r\n*8D40621D58C386435CC412692AD6;\r\n")));
    ASSERT_TRUE(Until([&] { return !w->replay().IsActive(); }));
    auto* counts = Named<QPlainTextEdit>(w.get(), "Flight counts");
    ASSERT_TRUE(Until([&] { return counts->toPlainText().endsWith(
            "APRS sent: 0, held back: 2\n  interval 0, unmoved 0, ceiling 0, radius 2, max. alt 0; on the air: 0\n"); }))
        << counts->toPlainText().toStdString();
    EXPECT_EQ(server.lines.size(), 1u);  // the login only
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
    symbol->setCurrentText("category");
    emit symbol->lineEdit()->editingFinished();
    EXPECT_TRUE(out.Look().symbol.by_category);
    // A text that is no symbol is told, naming the box, and the last one put back.
    symbol->setCurrentText("x^");
    emit symbol->lineEdit()->editingFinished();
    EXPECT_EQ(TakeMessage(w.get()), "APRS symbol \"x^\": the symbol table is / or \\, or an overlay 0-9 or A-Z");
    EXPECT_EQ(symbol->currentText(), "category");
    EXPECT_TRUE(out.Look().symbol.by_category);
    symbol->setCurrentText("\\X");
    emit symbol->lineEdit()->editingFinished();
    EXPECT_EQ(out.Look().symbol, (AprsSymbolChoice{.by_category = false, .fixed = {'\\', 'X'}}));
    InGroup("APRS Output:", "Comment")->click();
    EXPECT_TRUE(out.Look().comment);
}
