// Replay of a recorded file in time slices: each slice reads and evaluates bytes for a few
// milliseconds and then returns to the event loop, so the window answers clicks during a
// long replay. Pausing and holding stop the reading between two slices, so no byte is lost
// or read twice.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <span>

#include "decode/byte_pump.h"

namespace ternwick {

class FileReplay : public QObject {
    Q_OBJECT
public:
    explicit FileReplay(BytePump& pump, QObject* parent = nullptr);

    // Opens `path` and starts reading in slices. False with a message naming the file when
    // it cannot be opened (a file that vanished, a folder, no permission).
    bool Start(const QString& path, QString& error);
    // Ends the replay and closes the file (window closed).
    void Stop();
    bool IsActive() const { return file_.isOpen(); }
    QString FileName() const { return file_.fileName(); }

    // "||" / ">": a paused replay reads nothing until resumed.
    void SetPaused(bool paused);
    bool IsPaused() const { return paused_; }
    // Held while the serial receiver runs; continues where it stopped when released.
    void SetHeld(bool held);
    bool IsHeld() const { return held_; }

    // Bytes read so far and the file's size, for progress.
    qint64 Position() const { return position_; }
    qint64 Size() const { return size_; }

    // Longest time one slice keeps reading before the event loop runs again.
    void SetSliceMilliseconds(int ms) { slice_ms_ = ms; }
    // Runs around each slice: the window turns the per-message list pass on before it and
    // makes the pass for the slice's last byte after it.
    std::function<void()> before_slice;
    std::function<void()> after_slice;
    // How the bytes are evaluated; default: the recorded-file character rules.
    std::function<void(std::span<const uint8_t>)> feed;

signals:
    // The end of the file was reached and the file closed.
    void finished();
    // Reading failed; the file is closed. The message names the file and the reason.
    void failed(const QString& message);

private:
    void Slice();
    void Schedule();

    BytePump& pump_;
    QFile file_;
    QTimer timer_;
    bool paused_ = false;
    bool held_ = false;
    int slice_ms_ = 8;
    qint64 position_ = 0;
    qint64 size_ = 0;
};

}  // namespace ternwick
