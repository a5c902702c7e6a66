#pragma once

#include "RecordSchema.h"

#include <QDialog>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

// "定制<信息管理系统>": names the information system and its first ten attributes. Confirming
// changes the schema it was given; the caller shows the new names.
class FrmCustomize : public QDialog {
    Q_OBJECT

public:
    static constexpr int kBoxCount = 11;
    static constexpr int kSystemBox = 10;

    FrmCustomize(RecordSchema &schema, QWidget *parent = nullptr);

    std::array<QLineEdit *, kBoxCount> txtCustomize{};
    std::array<QLabel *, kBoxCount> LabCustomize{};
    QPushButton *cmdConfirm = nullptr;
    QPushButton *cmdCancel = nullptr;

public slots:
    void cmdConfirm_Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void Form_Load();

    RecordSchema &m_schema;
};
