#pragma once

#include <QDialog>

class QListWidget;
class QPushButton;
class RecoveryKeeper;

// Lists the recovery copies an earlier run left and lets the user open or discard each (tick them,
// then "打开" or "丢弃"); "以后再说" keeps the rest for the next start. Results go to the status line.
class FrmRecover : public QDialog {
    Q_OBJECT

public:
    FrmRecover(RecoveryKeeper &keeper, std::function<void(const QString &)> report,
               QWidget *parent = nullptr);

    QListWidget *lstCopies = nullptr;
    QPushButton *cmdOpen = nullptr;
    QPushButton *cmdDiscard = nullptr;
    QPushButton *cmdLater = nullptr;

    void cmdOpen_Click();
    // Asks once before discarding the ticked copies; `confirm` false skips the question.
    void cmdDiscard_Click(bool confirm = true);

private:
    void fill();
    QStringList tickedIds() const;

    RecoveryKeeper &m_keeper;
    std::function<void(const QString &)> m_report;
};
