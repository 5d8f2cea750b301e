#include "file_replay.h"

#include <QFileInfo>

namespace ternwick {

namespace {
constexpr qint64 kChunk = 16 * 1024;
}

FileReplay::FileReplay(BytePump& pump, QObject* parent) : QObject(parent), pump_(pump) {
    // A zero-interval timer runs once the event loop has handled what is waiting: every
    // click and repaint gets its turn between two slices.
    timer_.setInterval(0);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &FileReplay::Slice);
}

bool FileReplay::Start(const QString& path, QString& error) {
    Stop();
    const QFileInfo info(path);
    if (info.isDir()) {
        error = QStringLiteral("Replay file \"%1\" is a folder, not a file").arg(path);
        return false;
    }
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Replay file \"%1\" cannot be opened (%2)").arg(path, file_.errorString());
        return false;
    }
    paused_ = false;
    position_ = 0;
    size_ = file_.size();
    Schedule();
    return true;
}

void FileReplay::Stop() {
    timer_.stop();
    if (file_.isOpen()) file_.close();
    paused_ = false;
}

void FileReplay::SetPaused(bool paused) {
    paused_ = paused;
    Schedule();
}

void FileReplay::SetHeld(bool held) {
    held_ = held;
    Schedule();
}

void FileReplay::Schedule() {
    if (file_.isOpen() && !paused_ && !held_) timer_.start();
    else timer_.stop();
}

void FileReplay::Slice() {
    if (!file_.isOpen() || paused_ || held_) return;
    if (before_slice) before_slice();
    QElapsedTimer clock;
    clock.start();
    char buf[kChunk];
    bool at_end = false;
    QString failure;
    do {
        const qint64 n = file_.read(buf, kChunk);
        if (n < 0) {
            failure = QStringLiteral("Replay file \"%1\" could not be read to its end (%2)")
                          .arg(file_.fileName(), file_.errorString());
            break;
        }
        if (n == 0) {
            at_end = true;
            break;
        }
        position_ += n;
        const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(buf), static_cast<size_t>(n));
        if (feed) feed(bytes);
        else pump_.FeedRecorded(bytes, pump_.HostTime());
    } while (clock.elapsed() < slice_ms_);
    if (after_slice) after_slice();

    if (!failure.isEmpty()) {
        file_.close();
        emit failed(failure);
    } else if (at_end) {
        file_.close();
        emit finished();
    } else {
        Schedule();
    }
}

}  // namespace ternwick
