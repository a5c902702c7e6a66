#pragma once

#include <QList>
#include <QObject>
#include <QStringList>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The controls of the "AutoCAD 文字" panel: the extraction frame `fraGet` and the replacement frame
// `fraPut`. The drawing controls exist once per frame as two-member arrays: member 0 in fraGet,
// member 1 in fraPut, at the same place in both frames. The connection and the text tools work through
// the setters and readers below; the panel tells them of clicks by its signals.
class CadPanel : public QObject {
    Q_OBJECT

public:
    static constexpr int kFrameCount = 2;
    template <typename T> using PerFrame = std::array<T *, kFrameCount>;

    // The filter lists of a frame, top to bottom.
    enum Filter { Scope, Form, Layer, Style, Color, kFilterCount };
    // The boxes of a frame that choose the containers a walk enters.
    struct Containers {
        bool insert = false;
        bool attribute = false;
        bool table = false;        // ticked
        bool tableOffered = false; // and the drawing's program version has tables
        bool attributeDefinition = false;
    };
    // The controls a refused command puts the focus on.
    enum class Field { Drawing0, Drawing1, Manuscript, FromRow, ToRow, FromColumn, ToColumn };
    // The texts of the replacement's row and column boxes.
    struct Range {
        QString fromRow, toRow, fromColumn, toColumn;
    };

    // Builds the controls into `panel`, which stays owned by the main window.
    explicit CadPanel(QGroupBox *panel);

    // Replaces a filter list's items and chooses the last one ("All ..."); empties every list of a frame.
    void fillFilter(int index, Filter filter, const QStringList &items);
    void clearFilters(int index);
    // The chosen text, or empty when the list is on its last entry ("All ..."): no restriction.
    QString restriction(int index, Filter filter) const;
    // The scope list is on its first entry, "Scope Selected": the user picks on screen.
    bool picksOnScreen(int index) const;
    Containers containers(int index) const;
    void setTableOffered(int index, bool offered);
    void setAttributeOffered(int index, bool offered);

    bool noDuplicate() const;
    bool chineseOnly() const;
    bool convertFont() const;
    bool matchWidth() const;

    // The manuscript's sheets, `current` chosen (-1 none).
    void showSheets(const QStringList &names, int current);
    QStringList sheetNames() const;
    int currentSheet() const;
    QString currentSheetName() const;
    void chooseSheet(int position);
    void showToRow(int row);
    Range range() const;
    // A column box shows its number while a run lasts; its typed text comes back with restoreColumns().
    void showColumnNumber(Field box, int number);
    void restoreColumns();
    void refuse(Field field);

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

signals:
    void drawingClicked(int index);
    void interruptClicked(int index);
    void insertClicked(int index);
    void extractClicked();
    void manuscriptClicked();
    void sheetActivated();
    void replaceClicked();
    void shiftChineseClicked(int index);

private:
    QComboBox *filterList(int index, Filter filter) const;
    QWidget *widgetOf(Field field) const;
    void connectButtons();

    void buildDrawingControls(int index);
    void buildExtraction();
    void buildReplacement();

    QList<QLineEdit *> m_numbered;
};
