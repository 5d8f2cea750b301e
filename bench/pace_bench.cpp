// The window replaying a recording with time stamps under "Read Timer": the wall time the
// whole replay took against the recording's own time divided by the speed. Prints figures;
// asserts nothing.
//   ternwick-pace-bench LOG [SPEED]   (default 10)
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "gui/main_window.h"
#include "io/file_replay.h"
#include "session/session.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: ternwick-pace-bench LOG [SPEED]\n", stderr);
        return 2;
    }
    const double speed = argc > 2 ? std::atof(argv[2]) : 10.0;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ternwick::Session session;
    ternwick::SessionConfig config;
    config.folder = QDir(QCoreApplication::applicationDirPath() + "/../bin").absolutePath().toStdString();
    ternwick::StartupProblems problems;
    if (!session.Start(config, problems)) {
        std::fprintf(stderr, "ternwick-pace-bench: %s\n", problems.fatal.c_str());
        return 2;
    }
    ternwick::MainWindow window(session);
    window.show();
    window.SetPace(speed);
    QElapsedTimer clock;
    qint64 ns = 0;
    QObject::connect(&window.replay(), &ternwick::FileReplay::finished, &window, [&] {
        ns = clock.nsecsElapsed();
        QApplication::quit();
    });
    QObject::connect(&window.replay(), &ternwick::FileReplay::failed, &window, [&](const QString& m) {
        std::fprintf(stderr, "ternwick-pace-bench: %s\n", m.toLocal8Bit().constData());
        QApplication::exit(2);
    });
    QTimer::singleShot(0, &window, [&] {
        clock.start();
        window.ReplayFile(QString::fromLocal8Bit(argv[1]));
    });
    if (const int rc = QApplication::exec(); rc != 0) return rc;
    const double wall = ns / 1e9;
    const double recording = window.replay().ReplaySeconds();
    const double ideal = recording / speed;
    std::printf("paced replay at %gx: %llu messages, %.3f s of recording\n", speed,
                (unsigned long long)session.pump().evaluated(), recording);
    std::printf("wall time %.3f s, recording time / speed %.3f s, ratio %.4f\n", wall, ideal,
                ideal > 0 ? wall / ideal : 0.0);
    return 0;
}
