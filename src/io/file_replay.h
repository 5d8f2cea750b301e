// Replay of a recorded file in time slices: each slice reads and evaluates bytes for a few
// milliseconds and then returns to the event loop, so the window answers clicks during a
// long replay. Pausing and holding stop the reading between two slices, so no byte is lost
// or read twice. The replay reads all it can ("Read All"), one message per step ("Read
// Manual"), or at the recording's pace ("Read Timer"). A FIFO, a pipe or a device is opened
// and read without waiting: its slices run when it has bytes to give, and its end is the
// writer's going away.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <span>

#include "decode/byte_pump.h"
#include "io/recorded_input.h"
#include "io/replay_pacer.h"

namespace ternwick {

enum class ReplayMode { All, Manual, Timer };

class FileReplay : public QObject {
    Q_OBJECT
public:
    // `clock`: the session's, which a time-stamped recording runs on.
    explicit FileReplay(BytePump& pump, QObject* parent = nullptr, Clock* clock = nullptr);
    ~FileReplay() override;

    // Opens `path` and starts reading in slices. False with a message naming the file when
    // it cannot be opened (a file that vanished, a folder, no permission).
    bool Start(const QString& path, QString& error);
    // Ends the replay and closes the file (window closed).
    void Stop();
    bool IsActive() const { return file_.isOpen() || stream_fd_ >= 0; }
    QString FileName() const { return file_.fileName(); }

    // "||" / ">": a paused replay reads nothing until resumed, and its clock stands still.
    void SetPaused(bool paused);
    bool IsPaused() const { return paused_; }
    // Held while a live source runs; continues where it stopped when released.
    void SetHeld(bool held);
    bool IsHeld() const { return held_; }

    // The mode, the speed (time-stamped recordings) and the rate (recordings without
    // stamps, messages a second) of "Read Timer"; each takes effect at once.
    void SetMode(ReplayMode mode);
    ReplayMode Mode() const { return mode_; }
    void SetSpeed(double speed) { pacer_.SetSpeed(speed); }
    void SetRate(double per_second) { pacer_.SetRate(per_second); }
    // "Read Manual": evaluates the next message. False when the file has none left (the
    // replay has then finished).
    bool Step();
    // Evaluates what is due by the replay's clock now (the timer calls it; a test that
    // moves the clock by hand calls it directly).
    void RunDue();
    // The wall clock the pace is measured by, in seconds (a test's fake clock).
    void SetWallClock(std::function<double()> wall);

    // Bytes read so far and the file's size, for progress.
    qint64 Position() const { return position_; }
    qint64 Size() const { return size_; }
    // Seconds since the recording's start: where the replay's clock stands.
    double ReplaySeconds() const;
    // The file's framing (Beast, stamped AVR or the recorded-file rules).
    const RecordedInput* Input() const { return input_.get(); }

    // Longest time one slice keeps reading before the event loop runs again.
    void SetSliceMilliseconds(int ms) { slice_ms_ = ms; }
    // Runs around each slice: the window turns the per-message list pass on before it and
    // makes the pass for the slice's last byte after it.
    std::function<void()> before_slice;
    std::function<void()> after_slice;

signals:
    // The end of the file was reached and the file closed.
    void finished();
    // Reading failed; the file is closed. The message names the file and the reason.
    void failed(const QString& message);

private:
    void Slice();
    void Schedule(int ms = 0);
    // Reads the next chunk into the framing; false at the end of the file or on a failure.
    bool ReadChunk(qint64 size);
    void Finish();
    bool StartStream(const QString& path, QString& error);
    void CloseStream();
    // A stream that had nothing to give has bytes again (or its writer went away).
    void StreamReady();

    BytePump& pump_;
    Clock* clock_;
    std::unique_ptr<RecordedInput> input_;
    ReplayPacer pacer_;
    QElapsedTimer wall_;
    QFile file_;
    QTimer timer_;
    ReplayMode mode_ = ReplayMode::All;
    bool paused_ = false;
    bool held_ = false;
    bool at_end_ = false;
    QString failure_;
    int slice_ms_ = 8;
    qint64 position_ = 0;
    qint64 size_ = 0;
    int stream_fd_ = -1;    // a FIFO, pipe or device, read without blocking
    bool starved_ = false;  // it had nothing to give: its notifier calls when it has
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace ternwick
