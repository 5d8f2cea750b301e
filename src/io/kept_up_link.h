// What the two report links share (the TCP link to a KISS server and the APRS-IS login): a
// socket kept up in the background by attempts with a growing wait between them, and the
// state the window shows.
#pragma once

#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

namespace ternwick {

class KeptUpLink : public QObject {
    Q_OBJECT
public:
    bool IsStarted() const { return started_; }
    // For the window: what the link is doing ("" when stopped), and why the last attempt
    // failed.
    QString State() const { return state_; }
    QString LastError() const { return last_error_; }
    QString Target() const;
    // The first and the longest wait between attempts (tests shorten them).
    void SetRetryDelays(int first_ms, int longest_ms);

signals:
    void stateChanged();

protected:
    explicit KeptUpLink(QObject* parent);
    ~KeptUpLink() override;

    // Connects in the background; when the connection fails or drops, tries again after the
    // first wait, doubling up to the longest, until started_ is cleared.
    void StartAttempts(const QString& host, quint16 port);
    virtual void Attempt();
    virtual void Dropped();
    void SetState(const QString& state);

    QTcpSocket socket_;
    QTimer retry_;
    QString host_;
    quint16 port_ = 0;
    bool started_ = false;
    bool blocking_ = false;  // used without an event loop: no attempts in the background
    int first_delay_ms_ = 1000;
    int longest_delay_ms_ = 30000;
    int delay_ms_ = 1000;
    QString state_;
    QString last_error_;
};

}  // namespace ternwick
