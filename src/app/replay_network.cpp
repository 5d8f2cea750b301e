#include "replay_network.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <memory>

#include "interrupts.h"

namespace ternwick {

namespace {

void Tell(const QString& text) { std::fprintf(stderr, "ternwick-replay: %s\n", text.toLocal8Bit().constData()); }

}  // namespace

NetworkOutcome RunNetworkSource(BytePump& pump, const NetworkRun& run) {
    using Clock = std::chrono::steady_clock;
    NetworkOutcome outcome;
    NetworkSource source(pump);
    source.SetFormat(run.format);
    const QString target = QString::fromStdString(run.host_port);

    std::optional<Clock::time_point> first_connect;
    Clock::time_point last_bytes{};
    QObject::connect(&source, &NetworkSource::stateChanged, [&](NetworkSource::State state, int retry_seconds) {
        switch (state) {
        case NetworkSource::State::Connecting: Tell(QStringLiteral("connecting to %1").arg(target)); break;
        case NetworkSource::State::Connected:
            Tell(QStringLiteral("connected to %1").arg(target));
            if (!first_connect) first_connect = Clock::now();
            break;
        case NetworkSource::State::Retrying:
            Tell(QStringLiteral("retrying %1 in %2 s").arg(target).arg(retry_seconds));
            break;
        case NetworkSource::State::Stopped: break;
        }
    });
    QObject::connect(&source, &NetworkSource::errorOccurred, [](const QString& message) { Tell(message); });
    QObject::connect(&source, &NetworkSource::formatDetected, [&](InputFormat format) {
        Tell(QStringLiteral("%1 from %2").arg(QString::fromLatin1(InputFormatName(format)), target));
    });
    QObject::connect(&source, &NetworkSource::bytesArrived, [&](qint64) {
        last_bytes = Clock::now();
        if (run.after_chunk) run.after_chunk();
    });

    QString error;
    if (!source.Start(target, error)) {
        Tell(error);
        return outcome;
    }

    // The watch itself belongs to the whole run (main); here its pipe ends the event loop.
    std::unique_ptr<QSocketNotifier> interrupt;
    if (InterruptWatch::Fd() >= 0) {
        interrupt = std::make_unique<QSocketNotifier>(InterruptWatch::Fd(), QSocketNotifier::Read);
        QObject::connect(interrupt.get(), &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
    }
    if (InterruptWatch::Requested()) QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [] { QCoreApplication::quit(); });
    if (run.for_seconds) {
        const double left = *run.for_seconds - std::chrono::duration<double>(Clock::now() - run.start).count();
        deadline.start(left > 0 ? static_cast<int>(left * 1000.0 + 0.5) : 0);
    }
    QCoreApplication::exec();
    source.Stop();

    outcome.connected = source.EverConnected();
    outcome.counters = source.counters();
    if (first_connect && last_bytes > *first_connect)
        outcome.seconds = std::chrono::duration<double>(last_bytes - *first_connect).count();
    if (!outcome.connected) Tell(QStringLiteral("no connection to %1 was made").arg(target));
    return outcome;
}

}  // namespace ternwick
