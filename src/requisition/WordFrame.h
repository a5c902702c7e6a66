#pragma once

#include <QGroupBox>
#include <QList>
#include <QString>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// What the frame "生成申请单" shows of the requisition form: the table fit, the new-form box and the
// project fields of the form head.
struct FormValues {
    int behavior = 0; // 0 fixed, 1 fit to content, 2 fit to window
    bool newTable = false;
    QString projectName;
    QString designCode;
    QString projectCode;
};

// The frame "生成申请单" (`fraWord`) of the purchase-requisition panel: the table fit, the new-form box,
// the project fields and the fill and finish buttons.
class WordFrame : public QGroupBox {
    Q_OBJECT

public:
    explicit WordFrame(QWidget *parent = nullptr);

    FormValues values() const;
    // Shows `values` without reporting them back as an edit.
    void showValues(const FormValues &values);

    QList<QRadioButton *> optBehavior; // 0 fixed, 1 fit to content, 2 fit to window
    QCheckBox *chkNewTable = nullptr;
    QLineEdit *txtProjectName = nullptr;
    QLineEdit *txtDesignCode = nullptr;
    QLineEdit *txtProjectCode = nullptr;
    QPushButton *cmdFill = nullptr;
    QPushButton *cmdFinish = nullptr;

signals:
    void fillClicked();
    void finishClicked();
    // The user (or a caller setting a control) changed one of the values.
    void valuesEdited();

private:
    bool m_showing = false;
};
