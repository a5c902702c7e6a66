#include "SessionPanel.h"

#include "HostRole.h"
#include "MemberList.h"
#include "MemberRole.h"
#include "Session.h"

#include "common/Twips.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <utility>

namespace {

QLabel *addLabel(QWidget *parent, const QString &text, const QRect &rect) {
    auto *label = new QLabel(text, parent);
    label->setGeometry(rect);
    return label;
}

template <typename Widget> Widget *addNamed(QWidget *parent, const char *name, const QRect &rect) {
    auto *widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(rect);
    return widget;
}

QPushButton *addButton(QWidget *parent, const char *name, const QString &caption, const QRect &rect) {
    auto *button = addNamed<QPushButton>(parent, name, rect);
    button->setText(caption);
    return button;
}

void addLogLines(QListWidget *list, const QStringList &lines) {
    if (lines.isEmpty())
        return;
    const QStringList kept = lines.mid(qMax<qsizetype>(0, lines.size() - SessionPanel::kMaxLogLines));
    const int excess = list->count() + int(kept.size()) - SessionPanel::kMaxLogLines;
    if (excess > 0)
        list->model()->removeRows(0, excess);
    list->addItems(kept);
    list->scrollToItem(list->item(list->count() - 1), QAbstractItemView::PositionAtTop);
}

} // namespace

SessionPanel::SessionPanel(Session &session, QGroupBox *panel)
    : QObject(panel)
    , m_session(session)
    , m_members(session.members())
    , m_logTimer(new QTimer(this)) {
    m_logTimer->setSingleShot(true);
    m_logTimer->setInterval(1000 / kLogUpdatesPerSecond);
    connect(m_logTimer, &QTimer::timeout, this, &SessionPanel::flushLogs);
    build(panel);
    bind();
}

void SessionPanel::build(QGroupBox *panel) {
    addLabel(panel, QStringLiteral("登录帐号(ID)"), twipsRect(240, 360, 1700, 240));
    txtID = addNamed<QLineEdit>(panel, "txtID", twipsRect(240, 600, 1700, 330));
    txtID->setMaxLength(Session::kMaxIdLength);
    addLabel(panel, QStringLiteral("连接主机(IP)"), twipsRect(240, 1020, 1700, 240));
    txtIP = addNamed<QLineEdit>(panel, "txtIP", twipsRect(240, 1260, 1700, 330));

    cmdHost = addButton(panel, "cmdHost", QStringLiteral("建立主机"), twipsRect(240, 1860, 1700, 450));
    cmdConnect = addButton(panel, "cmdConnect", QStringLiteral("加入连接"), twipsRect(240, 2460, 1700, 450));
    cmdDisconnect =
        addButton(panel, "cmdDisconnect", QStringLiteral("断开"), twipsRect(240, 3060, 1700, 450));
    cmdKick = addButton(panel, "cmdKick", QStringLiteral("逐出"), twipsRect(240, 3660, 1700, 450));

    addLabel(panel, QStringLiteral("连接进程"), twipsRect(4320, 240, 6000, 240));
    txtStatus = addNamed<QPlainTextEdit>(panel, "txtStatus", twipsRect(4320, 480, 6000, 1300));
    txtStatus->setReadOnly(true);
    txtStatus->setMaximumBlockCount(kMaxLogLines);

    addLabel(panel, QStringLiteral("登录成员"), twipsRect(2160, 1815, 1935, 240));
    lstConnections = addNamed<QListWidget>(panel, "lstConnections", twipsRect(2160, 2055, 1935, 3420));
    lstConnections->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstConnections->viewport()->installEventFilter(this);
    lstConnections->viewport()->setMouseTracking(true);

    addLabel(panel, QStringLiteral("发送数据"), twipsRect(4320, 1815, 2940, 240));
    lstSent = addNamed<QListWidget>(panel, "lstSent", twipsRect(4320, 2055, 2940, 3420));
    addLabel(panel, QStringLiteral("接收数据"), twipsRect(7380, 1815, 2940, 240));
    lstReceived = addNamed<QListWidget>(panel, "lstReceived", twipsRect(7380, 2055, 2940, 3420));
    // One text line per entry: equal heights keep adding a line cheap however long the log grows.
    lstSent->setUniformItemSizes(true);
    lstReceived->setUniformItemSizes(true);

    cmdClear = addButton(panel, "cmdClear", QStringLiteral("清除"), twipsRect(9240, 5595, 1080, 400));
}

void SessionPanel::bind() {
    Session &s = m_session;
    connect(cmdHost, &QPushButton::clicked, &s.host(), &HostRole::cmdHost_Click);
    connect(cmdConnect, &QPushButton::clicked, &s.member(), &MemberRole::cmdConnect_Click);
    connect(cmdDisconnect, &QPushButton::clicked, &s, &Session::cmdDisconnect_Click);
    connect(cmdKick, &QPushButton::clicked, &s.host(), &HostRole::cmdKick_Click);

    txtID->setText(s.id());
    txtIP->setText(s.address());
    connect(txtID, &QLineEdit::textChanged, &s, &Session::setId);
    connect(txtIP, &QLineEdit::textChanged, &s, &Session::setAddress);
    connect(&s, &Session::addressChanged, txtIP, [this](const QString &address) {
        if (txtIP->text() != address)
            txtIP->setText(address);
    });
    connect(&s, &Session::idFocusRequested, txtID, [this] { txtID->setFocus(); });
    connect(&s, &Session::controlsLockedChanged, this, &SessionPanel::setLocked);

    connect(&s, &Session::statusAppended, this, &SessionPanel::AppendStatus);
    connect(&s, &Session::lineSent, this, [this](const QString &text) { queueLogLine(m_pendingSent, text); });
    connect(&s, &Session::lineReceived, this,
            [this](const QString &text) { queueLogLine(m_pendingReceived, text); });
    connect(&s, &Session::logsCleared, this, [this] {
        m_pendingSent.clear();
        m_pendingReceived.clear();
        lstSent->clear();
        lstReceived->clear();
    });

    connect(&m_members, &MemberList::changed, this, &SessionPanel::showMembers);
    connect(&m_members, &MemberList::selectionChanged, this, &SessionPanel::showSelection);
    connect(lstConnections, &QListWidget::itemSelectionChanged, this, &SessionPanel::takeSelection);
    showMembers();
}

void SessionPanel::setLocked(bool locked) {
    for (QWidget *w : {static_cast<QWidget *>(cmdHost), static_cast<QWidget *>(cmdConnect),
                       static_cast<QWidget *>(txtID), static_cast<QWidget *>(txtIP)})
        w->setEnabled(!locked);
}

QString SessionPanel::shownLogLine(const QString &text) {
    if (text.size() <= kMaxLogLineChars)
        return text;
    return text.left(kMaxLogLineChars) + QStringLiteral("…（共 %1 字符）").arg(text.size());
}

void SessionPanel::LogSent(const QString &text) {
    addLogLines(lstSent, {shownLogLine(text)});
}

void SessionPanel::LogReceived(const QString &text) {
    addLogLines(lstReceived, {shownLogLine(text)});
}

void SessionPanel::queueLogLine(QStringList &pending, const QString &text) {
    // Only what the log can show is kept waiting.
    if (pending.size() >= 2 * kMaxLogLines)
        pending.erase(pending.begin(), pending.begin() + kMaxLogLines);
    pending.append(shownLogLine(text));
    if (!m_logTimer->isActive())
        m_logTimer->start();
}

void SessionPanel::flushLogs() {
    m_logTimer->stop();
    addLogLines(lstSent, std::exchange(m_pendingSent, {}));
    addLogLines(lstReceived, std::exchange(m_pendingReceived, {}));
}

void SessionPanel::AppendStatus(const QString &text) {
    // appendPlainText starts a new line except in an empty box.
    txtStatus->appendPlainText(text);
    txtStatus->moveCursor(QTextCursor::End);
}

void SessionPanel::showMembers() {
    m_syncing = true;
    lstConnections->clear();
    for (int i = 0; i < m_members.count(); ++i) {
        const MemberList::Entry &e = m_members.at(i);
        auto *item = new QListWidgetItem(e.name, lstConnections);
        item->setData(Qt::UserRole, e.number);
        item->setSelected(e.selected);
    }
    m_syncing = false;
}

void SessionPanel::showSelection() {
    if (m_syncing || lstConnections->count() != m_members.count())
        return;
    m_syncing = true;
    for (int i = 0; i < m_members.count(); ++i)
        lstConnections->item(i)->setSelected(m_members.isSelected(i));
    m_syncing = false;
}

void SessionPanel::takeSelection() {
    if (m_syncing || lstConnections->count() != m_members.count())
        return;
    m_syncing = true;
    for (int i = 0; i < m_members.count(); ++i)
        m_members.setSelected(i, lstConnections->item(i)->isSelected());
    m_syncing = false;
    lstConnections_MouseMove();
}

bool SessionPanel::eventFilter(QObject *watched, QEvent *event) {
    if (watched == lstConnections->viewport()) {
        if (event->type() == QEvent::MouseMove &&
            (static_cast<QMouseEvent *>(event)->buttons() & Qt::LeftButton))
            lstConnections_MouseMove();
        else if (event->type() == QEvent::MouseButtonDblClick)
            // After the list has handled the click itself.
            QTimer::singleShot(0, this, &SessionPanel::lstConnections_DblClick);
    }
    return QObject::eventFilter(watched, event);
}

void SessionPanel::lstConnections_MouseMove() {
    // Host only: the address of the one selected participant, or nothing.
    if (m_session.isHost())
        lstConnections->setToolTip(m_session.host().selectedAddressTip());
}

void SessionPanel::lstConnections_DblClick() {
    m_members.clearSelection();
}
