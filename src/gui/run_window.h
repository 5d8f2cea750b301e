// The program around the window: its command line, start-up with the problems it reports,
// and the event loop until the window closes.
#pragma once

#include <QString>
#include <QStringList>

#include "session/session.h"

namespace ternwick {

struct WindowArgs {
    bool help = false;
    QString file;   // replayed once the window shows
    double pace = 0;  // > 0: replayed with "Read Timer" at this speed
    QString error;  // a command line that cannot be followed
};
WindowArgs ParseWindowArgs(const QStringList& args);
QString WindowUsage();

// Starts the session (`config.folder` holds the data files), shows the window and runs the
// event loop. A catalogue that cannot be used is told in a message box and the result is
// 1; closing the window ends with 0. Needs a QApplication.
// With `pace` above 0 the file plays with "Read Timer" at that speed.
int RunTernwick(const SessionConfig& config, const QString& file, double pace = 0);

}  // namespace ternwick
