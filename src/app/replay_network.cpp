#include "replay_network.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace ternwick {

namespace {

// A signal handler may only write to a pipe; the event loop reads the other end and ends
// the run as an ordinary event, so what was asked is still printed.
int g_interrupt_pipe[2] = {-1, -1};

extern "C" void OnInterrupt(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = write(g_interrupt_pipe[1], &c, 1);
}

class InterruptWatch {
public:
    InterruptWatch() {
        if (pipe2(g_interrupt_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
        struct sigaction sa {};
        sa.sa_handler = OnInterrupt;
        sigemptyset(&sa.sa_mask);
        // A second Ctrl-C ends the program at once, should the first be stuck.
        sa.sa_flags = SA_RESETHAND | SA_RESTART;
        sigaction(SIGINT, &sa, &old_int_);
        sigaction(SIGTERM, &sa, &old_term_);
        notifier_ = new QSocketNotifier(g_interrupt_pipe[0], QSocketNotifier::Read);
        QObject::connect(notifier_, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
    }
    ~InterruptWatch() {
        delete notifier_;
        if (g_interrupt_pipe[0] < 0) return;
        sigaction(SIGINT, &old_int_, nullptr);
        sigaction(SIGTERM, &old_term_, nullptr);
        close(g_interrupt_pipe[0]);
        close(g_interrupt_pipe[1]);
        g_interrupt_pipe[0] = g_interrupt_pipe[1] = -1;
    }

private:
    QSocketNotifier* notifier_ = nullptr;
    struct sigaction old_int_ {}, old_term_ {};
};

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

    InterruptWatch interrupts;
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
