#pragma once

#include "common/Twips.h"

#include <QObject>
#include <QRect>
#include <QStringList>

#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The controls of the purchase-requisition panel: the material-code builder "物料编码" on the upper left,
// batch coding "批量编码" below it, and on the right the frame of the requisition form "生成申请单".
// The builder and the batch coder work through the lists and setters below; the panel tells them of
// clicks and choices by its signals.
class RequisitionPanel : public QObject {
    Q_OBJECT

public:
    // Builds the controls into `panel`, which stays owned by the main window.
    explicit RequisitionPanel(QGroupBox *panel);

    static constexpr int kParameterCount = 5;
    // The builder's lists, top to bottom: category, name, then parameter i at kParameter0 + i.
    static constexpr int kCategory = 0;
    static constexpr int kName = 1;
    static constexpr int kParameter0 = 1;
    static constexpr int kListCount = 2 + kParameterCount;
    static constexpr int parameterList(int parameter) { return kParameter0 + parameter; }
    // The scope of a batch, from the three options.
    enum class Scope { Name, Category, All };

    // The lists' items and choices.
    QComboBox *list(int which) const;
    // Which list `box` is; -1 for none of them.
    int listOf(const QComboBox *box) const;
    QStringList items(int which) const;
    int count(int which) const;
    QString itemText(int which, int index) const;
    QString currentText(int which) const;
    int currentIndex(int which) const;
    // Replaces the items (none chosen), adds one, or chooses one, without telling anybody.
    void setItems(int which, const QStringList &items);
    void addItem(int which, const QString &item);
    void choose(int which, int index);
    // Lists and code greyed while their source is gone.
    void setListsEnabled(bool enabled);
    void showCode(const QString &code);

    Scope scope() const;
    // While a batch runs its button says "中断" and everything else that would change the lists is off.
    void showBatchRunning(bool running);
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

signals:
    // A list's choice changed, by the user or by a caller setting its current item.
    void listChosen(int which);
    void dataClicked();
    void batchClicked();

private:
    void buildCode();
    void buildBatch();

    QGroupBox *m_panel;
};
