// The "APRS Output:" group with an APRS-IS server: the transport, the passcode box, the
// login's answer beside the port box, and the message for a login the server refused.
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "fake_aprs_is.h"
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

    pass->setText("12345");
    start->click();
    ASSERT_TRUE(Until([&] { return Named<QLabel>(w.get(), "APRS link")->text() == "verified"; }));
    EXPECT_EQ(start->text(), "Stop COM:");
    EXPECT_FALSE(pass->isEnabled());
    EXPECT_EQ(server.logins, 2);
    start->click();
    EXPECT_EQ(Named<QLabel>(w.get(), "APRS link")->text(), "");
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
