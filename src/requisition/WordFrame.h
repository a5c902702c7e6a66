#pragma once

#include <QGroupBox>
#include <QList>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The frame "生成申请单" (`fraWord`) of the purchase-requisition panel: the table fit, the new-form box,
// the project fields and the fill and finish buttons.
class WordFrame : public QGroupBox {
    Q_OBJECT

public:
    explicit WordFrame(QWidget *parent = nullptr);

    QList<QRadioButton *> optBehavior; // 0 fixed, 1 fit to content, 2 fit to window
    QCheckBox *chkNewTable = nullptr;
    QLineEdit *txtProjectName = nullptr;
    QLineEdit *txtDesignCode = nullptr;
    QLineEdit *txtProjectCode = nullptr;
    QPushButton *cmdFill = nullptr;
    QPushButton *cmdFinish = nullptr;
};
