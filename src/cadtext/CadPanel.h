#pragma once

#include <QObject>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The controls of the "AutoCAD 文字" panel: the extraction frame `fraGet` and the replacement frame
// `fraPut`. The drawing controls exist once per frame as two-member arrays: member 0 in fraGet,
// member 1 in fraPut, at the same place in both frames.
class CadPanel : public QObject {
    Q_OBJECT

public:
    static constexpr int kFrameCount = 2;
    template <typename T> using PerFrame = std::array<T *, kFrameCount>;

    // Builds the controls into `panel`, which stays owned by the main window.
    explicit CadPanel(QGroupBox *panel);

    QGroupBox *fraGet = nullptr;
    QGroupBox *fraPut = nullptr;
    // The frame of a control index (0 fraGet, 1 fraPut).
    QGroupBox *frame(int index) const { return index == 0 ? fraGet : fraPut; }

    // Drawing controls of both frames.
    PerFrame<QPushButton> cmdDwgDocument{};
    PerFrame<QLabel> LabAutoCAD{};
    PerFrame<QLabel> LabScope{};
    PerFrame<QComboBox> comScope{};
    PerFrame<QLabel> LabForm{};
    PerFrame<QComboBox> comForm{};
    PerFrame<QLabel> LabLayer{};
    PerFrame<QComboBox> comLayer{};
    PerFrame<QLabel> LabStyle{};
    PerFrame<QComboBox> comStyleName{};
    PerFrame<QLabel> LabColor{};
    PerFrame<QComboBox> comColor{};
    PerFrame<QCheckBox> chkInsert{};
    PerFrame<QCheckBox> chkAttribute{};
    PerFrame<QCheckBox> chkTable{};
    PerFrame<QCheckBox> chkAttributeDefinition{};
    PerFrame<QPushButton> cmdInterrupt{};

    // Extraction only (fraGet).
    QCheckBox *chkNoDuplicate = nullptr;
    QCheckBox *chkChineseOnly = nullptr;
    QPushButton *cmdExtract = nullptr;

    // Replacement only (fraPut).
    QPushButton *cmdManuscript = nullptr;
    QLabel *lblManuscript = nullptr;
    QLabel *lblSheet = nullptr;
    QComboBox *comSheet = nullptr;
    QLabel *lblFromRow = nullptr;
    QLineEdit *txtFromRow = nullptr;
    QLabel *lblToRow = nullptr;
    QLineEdit *txtToRow = nullptr;
    QLabel *lblFromCol = nullptr;
    QLineEdit *txtFromCol = nullptr;
    QLabel *lblToCol = nullptr;
    QLineEdit *txtToCol = nullptr;
    QCheckBox *chkConvertFont = nullptr;
    QCheckBox *chkMatchWidth = nullptr;
    QPushButton *cmdReplace = nullptr;
    // 0 traditional to simplified, 1 simplified to traditional.
    std::array<QPushButton *, 2> cmdShiftChinese{};

private:
    void buildDrawingControls(int index);
    void buildExtraction();
    void buildReplacement();
};
