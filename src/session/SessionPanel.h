#pragma once

#include <QObject>
#include <QStringList>

class MemberList;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class Session;

// The controls of the connection-management panel ("进程管理"), built into the frame the main window
// hands over, and bound to a Session: buttons call its handlers, the boxes and lists show what it
// reports. No session logic lives here.
class SessionPanel : public QObject {
    Q_OBJECT

public:
    // Lines kept in each traffic log; the oldest go first.
    static constexpr int kMaxLogLines = 5000;
    // The traffic logs take what the session reports in batches, at most this often per second:
    // drawing each line as it comes would cost more than relaying it.
    static constexpr int kLogUpdatesPerSecond = 20;
    // Characters of one line a traffic log shows; longer lines are cut (with their length noted), so
    // a long line is neither laid out at full length nor kept whole.
    static constexpr int kMaxLogLineChars = 400;

    // The line as a traffic log shows it.
    static QString shownLogLine(const QString &text);

    SessionPanel(Session &session, QGroupBox *panel);

    // Adds a line and scrolls it as far towards the top of the view as the list scrolls.
    void LogSent(const QString &text);
    void LogReceived(const QString &text);
    void AppendStatus(const QString &text);
    // Shows the lines the session reported since the last update (normally done by a timer).
    void flushLogs();

    QLineEdit *txtID = nullptr;
    QLineEdit *txtIP = nullptr;
    QListWidget *lstConnections = nullptr;
    QListWidget *lstSent = nullptr;
    QListWidget *lstReceived = nullptr;
    QPushButton *cmdClear = nullptr;
    QPushButton *cmdHost = nullptr;
    QPushButton *cmdConnect = nullptr;
    QPushButton *cmdDisconnect = nullptr;
    QPushButton *cmdKick = nullptr;
    QPlainTextEdit *txtStatus = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build(QGroupBox *panel);
    void bind();
    void showMembers();
    void showSelection();
    void takeSelection();
    void setLocked(bool locked);
    void lstConnections_MouseMove();
    void lstConnections_DblClick();
    void queueLogLine(QStringList &pending, const QString &text);

    Session &m_session;
    MemberList &m_members;
    bool m_syncing = false;
    QStringList m_pendingSent;
    QStringList m_pendingReceived;
    QTimer *m_logTimer = nullptr;
};
