#include "run_window.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <cstdio>

#include "gui/main_window.h"

namespace ternwick {

QString WindowUsage() {
    return QStringLiteral(
        "usage: ternwick [FILE [--pace SPEED]]\n"
        "Shows the aircraft heard by a Mode S receiver on a map and in a live list.\n"
        "  FILE          a recorded log to replay at once, as with \"Open File\" and \"Go\"\n"
        "  --pace SPEED  replay it with \"Read Timer\" at SPEED times the recorded pace\n"
        "                (1 to 1000)\n"
        "  --help        this text\n"
        "The map catalogue setup.txt and the airline directory airlinecodes.csv are read\n"
        "from the program's folder.\n");
}

WindowArgs ParseWindowArgs(const QStringList& args) {
    WindowArgs w;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            w.help = true;
        } else if (a == QLatin1String("--pace")) {
            bool ok = false;
            const double pace = i + 1 < args.size() ? args[i + 1].toDouble(&ok) : 0;
            if (!ok || !(pace >= 1 && pace <= 1000)) {
                // The first fault is the one to tell: the refused value is no file name.
                w.error = QStringLiteral("--pace needs a speed from 1 to 1000");
                return w;
            } else {
                w.pace = pace;
                ++i;
            }
        } else if (a.startsWith(QLatin1Char('-')) && a != QLatin1String("-")) {
            w.error = QStringLiteral("unknown option %1").arg(a);
            return w;
        } else if (w.file.isEmpty()) {
            w.file = a;
        } else {
            w.error = QStringLiteral("only one file can be replayed: %1").arg(a);
        }
    }
    return w;
}

int RunTernwick(const SessionConfig& config, const QString& file, double pace) {
    Session session;
    StartupProblems problems;
    if (!session.Start(config, problems)) {
        // Said where a script or a terminal sees it too, not only in the box.
        std::fprintf(stderr, "ternwick: %s\n", problems.fatal.c_str());
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Ternwick"),
                        QString::fromStdString(problems.fatal) +
                            QStringLiteral("\n\nTernwick needs its map catalogue to start. Put a valid setup.txt "
                                           "beside the program (the shipped one is in its data folder)."),
                        QMessageBox::Ok);
        box.exec();  // before the window exists: nothing else is running yet
        return 1;
    }
    MainWindow window(session);
    // Most of the screen, centred on it: a large screen is for a large map.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect free = screen->availableGeometry();
        QRect r(QPoint(0, 0), MainWindow::StartSize(window.WantedSize(),
                                                    window.minimumSizeHint().expandedTo(window.minimumSize()),
                                                    free.size()));
        r.moveCenter(free.center());
        window.resize(r.size());
        window.move(std::max(r.left(), free.left()), std::max(r.top(), free.top()));
    } else {
        window.resize(window.WantedSize());
    }
    window.show();
    // Problems that leave a usable program are told once the window shows.
    QStringList notes;
    if (!problems.airlines.empty())
        notes << QString::fromStdString(problems.airlines) +
                     QStringLiteral("\nAirline names are looked up in the rows that were read.");
    if (!problems.picture.empty()) notes << QString::fromStdString(problems.picture);
    if (!problems.outlines.empty())
        notes << QString::fromStdString(problems.outlines) + QStringLiteral("\nThe live map shows no coastlines there.");
    if (!notes.isEmpty()) window.ShowMessage(notes.join(QStringLiteral("\n\n")));
    if (pace > 0) window.SetPace(pace);
    if (!file.isEmpty()) QTimer::singleShot(0, &window, [&window, file] { window.ReplayFile(file); });
    return QApplication::exec();
}

}  // namespace ternwick
