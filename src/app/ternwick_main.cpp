// ternwick: the desktop program. See README.md.
#include <QApplication>
#include <QDir>

#include <cstdio>

#include "gui/run_window.h"

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    const ternwick::WindowArgs w = ternwick::ParseWindowArgs(args);
    if (w.help) {
        std::fputs(ternwick::WindowUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!w.error.isEmpty()) {
        std::fprintf(stderr, "ternwick: %s\n%s", w.error.toLocal8Bit().constData(),
                     ternwick::WindowUsage().toLocal8Bit().constData());
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ternwick"));
    ternwick::SessionConfig config;
    config.folder = QDir(QCoreApplication::applicationDirPath()).absolutePath().toStdString();
    return ternwick::RunTernwick(config, w.file, w.pace);
}
