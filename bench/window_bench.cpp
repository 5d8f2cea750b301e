// The window replaying a log with "Live List", "Plot Air" and "Plot Surface" ticked: wall
// time, and how often the map and the live list were repainted (the longest gap between
// two repaints of each). Prints figures; asserts nothing.
//   ternwick-window-bench LOG [MAP]
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "gui/main_window.h"
#include "io/file_replay.h"
#include "session/session.h"

namespace {

// Counts paint events of one widget and the longest time between two of them.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget* w, const QElapsedTimer& clock) : clock_(clock) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            const qint64 now = clock_.elapsed();
            if (count_ > 0 && now - last_ > max_gap_) max_gap_ = now - last_;
            last_ = now;
            ++count_;
        }
        return false;
    }
    int count_ = 0;
    qint64 last_ = 0, max_gap_ = 0;

private:
    const QElapsedTimer& clock_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: ternwick-window-bench LOG [MAP]\n", stderr);
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ternwick::Session session;
    ternwick::SessionConfig config;
    config.folder = QDir(QCoreApplication::applicationDirPath() + "/../bin").absolutePath().toStdString();
    ternwick::StartupProblems problems;
    if (!session.Start(config, problems)) {
        std::fprintf(stderr, "ternwick-window-bench: %s\n", problems.fatal.c_str());
        return 2;
    }
    ternwick::MainWindow window(session);
    window.show();
    if (argc > 2) {
        auto* maps = window.findChild<QComboBox*>();
        const int index = std::atoi(argv[2]) - 1;
        maps->setCurrentIndex(index);
        emit maps->activated(index);
    }
    QWidget* map_widget = nullptr;
    QPlainTextEdit* list = nullptr;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (w->accessibleName() == QLatin1String("Map")) map_widget = w;
        if (w->accessibleName() == QLatin1String("Live flight list")) list = qobject_cast<QPlainTextEdit*>(w);
    }
    QElapsedTimer clock;
    PaintWatch map_paints(map_widget, clock), list_paints(list->viewport(), clock);
    qint64 seconds_ms = 0;
    QObject::connect(&window.replay(), &ternwick::FileReplay::finished, &window, [&] {
        seconds_ms = clock.elapsed();
        QApplication::quit();
    });
    QObject::connect(&window.replay(), &ternwick::FileReplay::failed, &window, [&](const QString& m) {
        std::fprintf(stderr, "ternwick-window-bench: %s\n", m.toLocal8Bit().constData());
        QApplication::exit(2);
    });
    QTimer::singleShot(0, &window, [&] {
        clock.start();
        window.ReplayFile(QString::fromLocal8Bit(argv[1]));
    });
    const int rc = QApplication::exec();
    if (rc != 0) return rc;
    const double s = seconds_ms / 1000.0;
    std::printf("window replay: %.3f s, %llu messages, %.0f messages/s\n", s,
                (unsigned long long)session.pump().evaluated(), s > 0 ? session.pump().evaluated() / s : 0.0);
    std::printf("map repaints: %d (%.1f per second, longest gap %lld ms)\n", map_paints.count_,
                s > 0 ? map_paints.count_ / s : 0.0, (long long)map_paints.max_gap_);
    std::printf("list repaints: %d (%.1f per second, longest gap %lld ms)\n", list_paints.count_,
                s > 0 ? list_paints.count_ / s : 0.0, (long long)list_paints.max_gap_);
    return 0;
}
