#include "message_log.h"

#include <chrono>
#include <csignal>

namespace ternwick {

namespace {
// Lines wait in memory up to this much, then go out at once.
constexpr qsizetype kMaxWaiting = 64 * 1024;
}  // namespace

MessageLog::MessageLog(QObject* parent) : QObject(parent) {
    flush_timer_.setInterval(1000);
    connect(&flush_timer_, &QTimer::timeout, this, [this] { Flush(); });
    // A file size limit makes the kernel send SIGXFSZ, which would end the program: the
    // failed write is reported like a full disk instead.
    std::signal(SIGXFSZ, SIG_IGN);
}

MessageLog::~MessageLog() { Close(); }

bool MessageLog::Open(const QString& path, QString& error) {
    Close();
    file_.setFileName(path);
    // Unbuffered: what a write call reports is what reached the file.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        error = QStringLiteral("Log file \"%1\" cannot be written (%2)").arg(path, file_.errorString());
        return false;
    }
    written_ = 0;
    lines_ = 0;
    waiting_.clear();
    flush_timer_.start();
    return true;
}

bool MessageLog::Close() {
    if (!file_.isOpen()) return true;
    const bool ok = Flush();
    if (file_.isOpen()) file_.close();
    flush_timer_.stop();
    return ok;
}

uint64_t MessageLog::CounterNow() {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    return static_cast<uint64_t>(us) * 12;
}

QByteArray MessageLog::Line(std::string_view digits, uint64_t counter) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray line(1 + 12 + static_cast<qsizetype>(digits.size()) + 2, Qt::Uninitialized);
    char* p = line.data();
    *p++ = '@';
    for (int shift = 44; shift >= 0; shift -= 4) *p++ = kHex[(counter >> shift) & 0xF];
    for (const char c : digits) *p++ = c;
    *p++ = ';';
    *p = '\n';
    return line;
}

void MessageLog::Write(std::string_view digits) {
    if (!file_.isOpen()) return;
    waiting_ += Line(digits, CounterNow());
    ++lines_;
    if (waiting_.size() >= kMaxWaiting) Flush();
}

bool MessageLog::Flush() {
    if (!file_.isOpen()) return false;
    if (waiting_.isEmpty()) return true;
    const qint64 n = file_.write(waiting_);
    if (n != waiting_.size()) {
        Fail(n < 0 ? file_.errorString() : QStringLiteral("the disk is full"));
        return false;
    }
    written_ += n;
    waiting_.clear();
    return true;
}

void MessageLog::Fail(const QString& reason) {
    // A line cut short would be read as a damaged record: the file keeps whole lines only.
    file_.resize(written_);
    file_.close();
    flush_timer_.stop();
    waiting_.clear();
    emit failed(QStringLiteral("Log file \"%1\" could not be written (%2); logging stopped. The lines "
                               "written before stay readable.")
                    .arg(file_.fileName(), reason));
}

}  // namespace ternwick
