#include "file_replay.h"

#include <QFileInfo>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace ternwick {

namespace {
constexpr qint64 kChunk = 16 * 1024;
// A paced or stepped replay frames a little ahead of what it evaluates: a few messages.
constexpr qint64 kPacedChunk = 512;
// A paced replay looks at its clock at least this often while it waits, so the list's
// ages and the replay time move on.
constexpr int kMaxWaitMs = 100;
}  // namespace

FileReplay::FileReplay(BytePump& pump, QObject* parent, Clock* clock)
    : QObject(parent), pump_(pump), clock_(clock), pacer_([this] { return wall_.nsecsElapsed() / 1e9; }, clock) {
    wall_.start();
    // A zero-interval timer runs once the event loop has handled what is waiting: every
    // click and repaint gets its turn between two slices.
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &FileReplay::Slice);
}

FileReplay::~FileReplay() = default;

void FileReplay::SetWallClock(std::function<double()> wall) {
    pacer_ = ReplayPacer(std::move(wall), clock_);
}

bool FileReplay::Start(const QString& path, QString& error) {
    Stop();
    const QFileInfo info(path);
    if (info.isDir()) {
        error = QStringLiteral("Replay file \"%1\" is a folder, not a file").arg(path);
        return false;
    }
    file_.setFileName(path);
    // Opening a FIFO waits for a writer and each read waits for bytes: the window would
    // freeze. Anything but a regular file is read as a stream instead.
    struct stat st {};
    if (stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (!StartStream(path, error)) return false;
    } else if (!file_.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Replay file \"%1\" cannot be opened (%2)").arg(path, file_.errorString());
        return false;
    }
    // A file that begins with 0x1A is a receiver's Beast stream kept on disk, one that
    // begins with "@" or "<" AVR records with time stamps; any other goes through the
    // recorded-file character rules.
    input_ = std::make_unique<RecordedInput>(pump_, InputFormat::Auto, clock_);
    input_->SetHolding(mode_ != ReplayMode::All);
    paused_ = false;
    at_end_ = false;
    failure_.clear();
    position_ = 0;
    size_ = file_.size();
    pacer_.SetPaused(false);
    pacer_.Start(0);
    Schedule();
    return true;
}

bool FileReplay::StartStream(const QString& path, QString& error) {
    stream_fd_ = open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (stream_fd_ < 0) {
        error = QStringLiteral("Replay file \"%1\" cannot be opened (%2)")
                    .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // Read only once it says it has something: a FIFO without a writer yet reads as ended.
    starved_ = true;
    notifier_ = std::make_unique<QSocketNotifier>(stream_fd_, QSocketNotifier::Read);
    notifier_->setEnabled(false);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &FileReplay::StreamReady);
    return true;
}

void FileReplay::CloseStream() {
    notifier_.reset();
    if (stream_fd_ >= 0) close(stream_fd_);
    stream_fd_ = -1;
    starved_ = false;
}

void FileReplay::StreamReady() {
    starved_ = false;
    notifier_->setEnabled(false);
    Slice();
}

void FileReplay::Stop() {
    timer_.stop();
    if (file_.isOpen()) file_.close();
    CloseStream();
    if (input_) input_->EndFile();
    paused_ = false;
}

void FileReplay::SetPaused(bool paused) {
    paused_ = paused;
    pacer_.SetPaused(paused_ || held_);
    Schedule();
}

void FileReplay::SetHeld(bool held) {
    // Live reception ran by the wall clock; the replay's messages go on by the recording's.
    if (held_ && !held && input_ && file_.isOpen()) input_->ResumeClock();
    held_ = held;
    pacer_.SetPaused(paused_ || held_);
    Schedule();
}

void FileReplay::SetMode(ReplayMode mode) {
    if (mode == mode_) return;
    // The replay's clock goes on from the last message evaluated.
    if (mode == ReplayMode::Timer) pacer_.Start(pacer_.Evaluated());
    mode_ = mode;
    if (input_) input_->SetHolding(mode_ != ReplayMode::All);
    Schedule();
}

double FileReplay::ReplaySeconds() const {
    if (mode_ == ReplayMode::Timer && IsActive()) return std::max(pacer_.Position(), pacer_.Evaluated());
    return pacer_.Evaluated();
}

void FileReplay::Schedule(int ms) {
    const bool run = IsActive() && !paused_ && !held_ && mode_ != ReplayMode::Manual;
    // A stream with nothing to give waits for its notifier, not for the timer.
    if (run && !starved_) timer_.start(ms);
    else timer_.stop();
    if (notifier_) notifier_->setEnabled(run && starved_);
}

bool FileReplay::ReadChunk(qint64 size) {
    if (at_end_ || !failure_.isEmpty()) return false;
    char buf[kChunk];
    qint64 n = 0;
    if (stream_fd_ >= 0) {
        // Read only what it says it has: a FIFO that no writer has opened yet reads as ended.
        if (pollfd p{stream_fd_, POLLIN, 0}; poll(&p, 1, 0) == 0) {
            starved_ = true;
            return false;
        }
        do n = read(stream_fd_, buf, static_cast<size_t>(std::min(size, kChunk)));
        while (n < 0 && errno == EINTR);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            starved_ = true;  // more when the notifier says
            return false;
        }
        if (n < 0) {
            failure_ = QStringLiteral("Replay file \"%1\" could not be read to its end (%2)")
                           .arg(file_.fileName(), QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    } else {
        n = file_.read(buf, std::min(size, kChunk));
    }
    if (n < 0) {
        failure_ = QStringLiteral("Replay file \"%1\" could not be read to its end (%2)")
                       .arg(file_.fileName(), file_.errorString());
        return false;
    }
    if (n == 0) {
        at_end_ = true;
        input_->EndFile();
        return false;
    }
    position_ += n;
    input_->Feed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(buf), static_cast<size_t>(n)));
    return true;
}

void FileReplay::Finish() {
    timer_.stop();
    file_.close();
    CloseStream();
    if (failure_.isEmpty()) emit finished();
    else emit failed(failure_);
}

bool FileReplay::Step() {
    if (!IsActive()) return false;
    while (input_->Pending().empty() && ReadChunk(kPacedChunk)) {}
    // A stream with nothing yet has not ended: the next step may find a message.
    if (input_->Pending().empty() && starved_ && !at_end_ && failure_.isEmpty()) return false;
    if (before_slice) before_slice();
    const bool stepped = pacer_.Step(*input_);
    if (after_slice) after_slice();
    if (!stepped) Finish();
    return stepped;
}

void FileReplay::RunDue() {
    if (!IsActive() || paused_ || held_ || mode_ != ReplayMode::Timer) return;
    if (before_slice) before_slice();
    QElapsedTimer slice;
    slice.start();
    int wait_ms = 0;
    for (;;) {
        const PaceStep step = pacer_.RunDue(*input_, 64);
        if (step.starved) {
            if (ReadChunk(kPacedChunk)) continue;
            break;  // the end (or a failure): finished below
        }
        if (step.evaluated == 0) {
            wait_ms = std::clamp(static_cast<int>(std::ceil(step.wait * 1000)), 1, kMaxWaitMs);
            break;
        }
        if (slice.elapsed() >= slice_ms_) break;  // more is due: after the event loop's turn
    }
    if (after_slice) after_slice();
    if (input_->Pending().empty() && (at_end_ || !failure_.isEmpty())) Finish();
    else Schedule(wait_ms);
}

void FileReplay::Slice() {
    if (!IsActive() || paused_ || held_) return;
    if (mode_ == ReplayMode::Timer) {
        RunDue();
        return;
    }
    if (mode_ == ReplayMode::Manual) return;
    if (before_slice) before_slice();
    QElapsedTimer clock;
    clock.start();
    // Messages held while the replay was paced or stepped go first.
    while (!input_->Pending().empty()) pacer_.Step(*input_);
    do {
        if (!ReadChunk(kChunk)) break;
    } while (clock.elapsed() < slice_ms_);
    if (after_slice) after_slice();
    if (at_end_ || !failure_.isEmpty()) Finish();
    else Schedule();
}

}  // namespace ternwick
