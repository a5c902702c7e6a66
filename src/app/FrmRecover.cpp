#include "FrmRecover.h"

#include "common/RecoveryKeeper.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

FrmRecover::FrmRecover(RecoveryKeeper &keeper, std::function<void(const QString &)> report, QWidget *parent)
    : QDialog(parent)
    , m_keeper(keeper)
    , m_report(std::move(report)) {
    setWindowTitle(QStringLiteral("恢复未保存的文件"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("上次退出时以下工作簿和文档尚未保存，Tavlo 留有它们的恢复副本。\n"
                                  "勾选后可重新打开或丢弃；未处理的副本下次启动时再列出。"),
                   this));
    lstCopies = new QListWidget(this);
    lstCopies->setMinimumSize(520, 160);
    layout->addWidget(lstCopies);
    auto *buttons = new QDialogButtonBox(this);
    cmdOpen = buttons->addButton(QStringLiteral("打开"), QDialogButtonBox::AcceptRole);
    cmdDiscard = buttons->addButton(QStringLiteral("丢弃"), QDialogButtonBox::DestructiveRole);
    cmdLater = buttons->addButton(QStringLiteral("以后再说"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    // The buttons act on the list; only "以后再说" (or an emptied list) closes the dialog.
    connect(cmdOpen, &QPushButton::clicked, this, &FrmRecover::cmdOpen_Click);
    connect(cmdDiscard, &QPushButton::clicked, this, [this] { cmdDiscard_Click(); });
    connect(cmdLater, &QPushButton::clicked, this, &QDialog::reject);
    cmdOpen->setDefault(true);
    fill();
}

void FrmRecover::fill() {
    lstCopies->clear();
    for (const RecoveryEntry &entry : m_keeper.found()) {
        QString text = QStringLiteral("%1（%2，%3）")
                           .arg(entry.name,
                                entry.kind == RecoveryEntry::Workbook ? QStringLiteral("工作簿")
                                                                      : QStringLiteral("文档"),
                                entry.keptAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        if (!entry.fullName.isEmpty())
            text += QStringLiteral("  ") + QDir::toNativeSeparators(entry.fullName);
        auto *item = new QListWidgetItem(text, lstCopies);
        item->setData(Qt::UserRole, entry.id);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    if (lstCopies->count() == 0)
        accept();
}

QStringList FrmRecover::tickedIds() const {
    QStringList ids;
    for (int i = 0; i < lstCopies->count(); ++i)
        if (lstCopies->item(i)->checkState() == Qt::Checked)
            ids << lstCopies->item(i)->data(Qt::UserRole).toString();
    return ids;
}

void FrmRecover::cmdOpen_Click() {
    int opened = 0;
    QStringList failures;
    for (const QString &id : tickedIds()) {
        QString error;
        if (m_keeper.reopen(id, &error))
            ++opened;
        else
            failures << error;
    }
    if (m_report) {
        QString text = QStringLiteral("已打开 %1 个恢复的文件").arg(opened);
        if (!failures.isEmpty())
            text += QStringLiteral("，%1 个无法打开（%2）").arg(failures.size()).arg(failures.join(u'；'));
        m_report(text);
    }
    fill();
}

void FrmRecover::cmdDiscard_Click(bool confirm) {
    const QStringList ids = tickedIds();
    if (ids.isEmpty())
        return;
    if (confirm &&
        QMessageBox::question(this, windowTitle(),
                              QStringLiteral("丢弃后无法再恢复。确定丢弃勾选的 %1 个文件？").arg(ids.size()),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;
    for (const QString &id : ids)
        m_keeper.discard(id);
    if (m_report)
        m_report(QStringLiteral("已丢弃 %1 个恢复副本").arg(ids.size()));
    fill();
}
