// ternwick-screenshot: the window as a person sees it after replaying a log, saved as PNG
// (the README's picture). Runs without a display on the offscreen platform.
//   ternwick-screenshot OUT.png LOG [ADDRESS]
// With ADDRESS (hex, e.g. 7830B7) that aircraft is selected, so its details show.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "flights/flight_table.h"
#include "gui/live_map_widget.h"
#include "gui/main_window.h"
#include "io/file_replay.h"
#include "session/session.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: ternwick-screenshot OUT.png LOG [ADDRESS]\n", stderr);
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ternwick::Session session;
    ternwick::SessionConfig config;
    config.folder = QDir(QCoreApplication::applicationDirPath()).absolutePath().toStdString();
    ternwick::StartupProblems problems;
    if (!session.Start(config, problems)) {
        std::fprintf(stderr, "ternwick-screenshot: %s\n", problems.fatal.c_str());
        return 2;
    }
    ternwick::MainWindow window(session);
    window.resize(window.WantedSize());
    window.show();
    int status = 0;
    auto save = [&] {
        // Let the window refresh what the replay left, then take the picture.
        if (argc > 3) {
            const uint32_t key = ternwick::AddressKey(argv[3]);
            for (auto* map : window.findChildren<QWidget*>())
                if (map->accessibleName() == QStringLiteral("Live map"))
                    if (auto* live = dynamic_cast<ternwick::LiveMapWidget*>(map)) live->Select(key);
        }
        QTimer::singleShot(300, &window, [&] {
            if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
                std::fprintf(stderr, "ternwick-screenshot: cannot write %s\n", argv[1]);
                status = 2;
            }
            window.close();
            QApplication::quit();
        });
    };
    QObject::connect(&window.replay(), &ternwick::FileReplay::finished, &window, save);
    QObject::connect(&window.replay(), &ternwick::FileReplay::failed, &window, [&](const QString& m) {
        std::fprintf(stderr, "ternwick-screenshot: %s\n", m.toLocal8Bit().constData());
        status = 2;
        QApplication::quit();
    });
    QTimer::singleShot(0, &window, [&] { window.ReplayFile(QString::fromLocal8Bit(argv[2])); });
    const int rc = QApplication::exec();
    return status ? status : rc;
}
