// Driving the window as a person or a screen reader does: controls found by their accessible names (inside a
// group box by its title), the event loop spun until something happens, serial peers on pseudo-terminals.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTest>

#include <memory>
#include <string>
#include <type_traits>

#include "app/replay_core.h"
#include "gui/main_window.h"
#include "io/file_replay.h"
#include "io/recorded_input.h"
#include "pseudo_terminal.h"
#include "session/session.h"

namespace ternwick::test {

inline QApplication& App() {
    static int argc = 1;
    static char name[] = "test_window", *argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// The one widget of type T under `root` that a screen reader calls `name`.
template <typename T = QWidget>
T* Named(QWidget* root, const QString& name) {
    T* found = nullptr;
    for (T* w : root->findChildren<T*>()) {
        // A label speaks its text too, but it is the box it labels that is wanted; so does a
        // tab bar with its current tab's title, but it is what the tab shows that is wanted.
        if (!std::is_same_v<T, QLabel> && qobject_cast<QLabel*>(w)) continue;
        if (qobject_cast<QTabBar*>(w)) continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        if (!a || a->text(QAccessible::Name) != name) continue;
        EXPECT_EQ(found, nullptr) << "two controls named " << name.toStdString();
        found = w;
    }
    EXPECT_NE(found, nullptr) << "no control named " << name.toStdString();
    return found;
}

// The control a label with `text` is the buddy of (a drop-down's spoken name is its value
// on Linux; the label is how a screen reader relates the two).
template <typename T>
T* Labelled(QWidget* root, const QString& text) {
    for (QLabel* l : root->findChildren<QLabel*>())
        if (l->text() == text && l->buddy()) return qobject_cast<T*>(l->buddy());
    ADD_FAILURE() << "no control labelled " << text.toStdString();
    return nullptr;
}

inline QGroupBox* Group(QWidget* root, const QString& title) {
    for (QGroupBox* g : root->findChildren<QGroupBox*>())
        if (g->title() == title) return g;
    ADD_FAILURE() << "no group " << title.toStdString();
    return nullptr;
}

inline QAbstractButton* Button(QWidget* root, const QString& name) { return Named<QAbstractButton>(root, name); }

// Spins the event loop until `done` or a generous deadline (a failure, never a timing test).
template <typename F>
bool Until(F done, int ms = 20000) { return QTest::qWaitFor(done, ms); }

// Types `text` into a line box and leaves it, as a person does.
inline void Enter(QLineEdit* box, const QString& text) {
    box->setText(text);
    emit box->editingFinished();
}

inline const std::string kDemo = TERNWICK_BIN_DIR "/demo.log";
// The published position pair of 40621D (52.2658 N, 3.9389 E at 38000 ft).
inline const std::string kPairLog = "*8D40621D58C382D690C8AC2863A7;\r\n*8D40621D58C386435CC412692AD6;\r\n";

// The message box the window opened, if any; closed after its text was read.
inline QString TakeMessage(QWidget* window) {
    for (QMessageBox* box : window->findChildren<QMessageBox*>()) {
        if (!box->isVisible()) continue;
        const QString text = box->text();
        box->accept();
        QApplication::processEvents();
        return text;
    }
    return {};
}

// The flight table a session without a window (the shipped data beside the tests) makes of `bytes`.
inline std::string TableOf(const std::string& bytes) {
    Session s;
    SessionConfig config;
    config.folder = TERNWICK_BIN_DIR;
    config.draw = false;
    StartupProblems problems;
    EXPECT_TRUE(s.Start(config, problems)) << problems.fatal;
    RecordedInput(s.pump(), InputFormat::Auto, &s.clock()).Feed({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    return FlightTableCsv(s.Db());
}

// A started session (the shipped data beside the tests) with its window shown.
struct WindowFixture : testing::Test {
    QApplication& app = App();
    Session session;
    std::unique_ptr<MainWindow> w;

    void SetUp() override {
        SessionConfig config;
        config.folder = TERNWICK_BIN_DIR;
        StartupProblems problems;
        ASSERT_TRUE(session.Start(config, problems)) << problems.fatal;
        w = std::make_unique<MainWindow>(session);
        w->show();
    }
    void TearDown() override {
        w->close();
        w.reset();
    }

    QAbstractButton* InGroup(const char* group, const char* name) { return Button(Group(w.get(), group), name); }
    QAbstractButton* File(const char* name) { return InGroup("File Data Source:", name); }
    QString Label(const char* name) { return Named<QLabel>(w.get(), name)->text(); }
    void SetText(const char* name, const std::string& text) { Named<QLineEdit>(w.get(), name)->setText(QString::fromStdString(text)); }
    // What a line or text box shows.
    QString Text(const char* name) {
        QWidget* t = Named(w.get(), name);
        if (auto* e = qobject_cast<QLineEdit*>(t)) return e->text();
        return qobject_cast<QPlainTextEdit*>(t)->toPlainText();
    }
    // Replays the file at `path` as "Open File" does; false when it has not ended in time.
    bool ReplayToEnd(const std::string& path) {
        w->ReplayFile(QString::fromStdString(path));
        return Until([&] { return !w->replay().IsActive(); });
    }
    void StartCom(const char* port) {
        SetText("Receiver port", port);
        InGroup("Serial Data Source:", "Start COM:")->click();
    }
    uint64_t Evaluated() { return session.pump().evaluated(); }
};

}  // namespace ternwick::test
