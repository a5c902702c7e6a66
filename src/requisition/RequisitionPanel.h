#pragma once

#include "common/Twips.h"

#include <QObject>
#include <QRect>

#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The controls of the purchase-requisition panel: the material-code builder "物料编码" on the upper left,
// batch coding "批量编码" below it, and on the right the frame of the requisition form "生成申请单".
class RequisitionPanel : public QObject {
    Q_OBJECT

public:
    // Builds the controls into `panel`, which stays owned by the main window.
    explicit RequisitionPanel(QGroupBox *panel);

    static constexpr int kParameterCount = 5;
    // Where each frame sits inside the panel (the panel is 10485 x 6155 twips).
    static constexpr QRect kCodeFrame = twipsRect(120, 240, 5400, 4110);
    static constexpr QRect kBatchFrame = twipsRect(120, 4440, 5400, 1590);
    static constexpr QRect kWordFrame = twipsRect(5640, 240, 4725, 5790);

    QGroupBox *panel() const { return m_panel; }

    // Material code "物料编码".
    QGroupBox *fraCode = nullptr;
    QLabel *lblDATA = nullptr;
    QPushButton *cmdData = nullptr;
    QLabel *lblCategory = nullptr;
    QComboBox *comCategory = nullptr;
    QLabel *lblName = nullptr;
    QComboBox *comName = nullptr;
    // Indexes 1 to 5; index 0 is unused.
    std::array<QLabel *, kParameterCount + 1> lblParameter{};
    std::array<QComboBox *, kParameterCount + 1> comParameter{};
    QLabel *lblCode = nullptr;
    QLineEdit *txtCode = nullptr;

    // Batch coding "批量编码".
    QGroupBox *fraBatch = nullptr;
    QLabel *lblScope = nullptr;
    QRadioButton *optName = nullptr;
    QRadioButton *optCate = nullptr;
    QRadioButton *optAll = nullptr;
    QPushButton *cmdBatch = nullptr;

    // The requisition form "生成申请单" goes into kWordFrame. It is built by the form, which sets this
    // pointer; batch coding disables it while it runs.
    QGroupBox *fraWord = nullptr;

private:
    void buildCode();
    void buildBatch();

    QGroupBox *m_panel;
};
