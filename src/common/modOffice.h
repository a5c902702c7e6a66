#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <array>

namespace tavlo::sheet {
class Application;
class Workbook;
class Worksheet;
} // namespace tavlo::sheet

namespace tavlo::document {
class Application;
class Document;
} // namespace tavlo::document

// One spreadsheet slot: the application, workbook and worksheet a feature works with.
struct ExcelSlot {
    QPointer<tavlo::sheet::Application> application;
    QPointer<tavlo::sheet::Workbook> workbook;
    QPointer<tavlo::sheet::Worksheet> worksheet;
};

// The word-processor slot: the application and the document of the requisition form.
struct WordSlot {
    QPointer<tavlo::document::Application> application;
    QPointer<tavlo::document::Document> document;
};

// The Office automation interface: seven spreadsheet slots, each owned by one feature, over the embedded
// spreadsheet; and the watch `tmrExcel` that releases the slots whose workbook the user closed.
// No operation raises or reports an error: a failed step leaves the slot as the caller can see it.
class OfficeSlots : public QObject {
    Q_OBJECT
    Q_MOC_INCLUDE("platform/sheet/Application.h")
    Q_MOC_INCLUDE("platform/document/Application.h")

public:
    static constexpr int kExcelSlotCount = 7;
    enum ExcelOwner {
        CodingDataSource = 1, // material code builder
        RecordEntry = 2,
        QuerySource = 3,
        QueryDisplay = 4,
        UploadOnJoin = 5,
        TextExtraction = 6,
        Manuscript = 7,
    };

    explicit OfficeSlots(QObject *parent = nullptr);
    ~OfficeSlots() override;

    // Slot 1..7; nullptr for any other number.
    ExcelSlot *excel(int slot);
    const ExcelSlot *excel(int slot) const;

    // When the slot holds no live application: a new instance, or (newInstance false) the running one,
    // made when none runs. Then `Visible` as asked; an instance the slot did not start is never hidden,
    // so the user's visible workbooks stay on screen.
    void AttachExcel(int slot, bool visible, bool newInstance);
    // A hidden instance closes the slot's workbook; an instance left without workbooks quits unless another
    // slot still uses it; the slot is emptied. A visible workbook stays open for the user.
    void CloseExcel(int slot);
    // Application and workbook set, alive, and the workbook has sheets.
    bool WorkbookAlive(int slot) const;
    // The cells of `row` (or `column`) of sheet `sheet` of the slot's workbook, from the first one on,
    // before the first whose value trimmed of blanks is empty. 0 when a reference is missing.
    int CountAlongRow(int slot, int sheet, int row) const;
    int CountDownColumn(int slot, int sheet, int column) const;
    // The last row of the used range of the slot's worksheet (1 for an empty sheet); -1 when a reference
    // is missing.
    int LastUsedRow(int slot) const;

    // True when the object is gone or its workbook was closed (reading its `Name` would fail).
    static bool ObjectDead(const tavlo::sheet::Application *object);
    static bool ObjectDead(const tavlo::sheet::Workbook *object);
    static bool ObjectDead(const tavlo::sheet::Worksheet *object);
    // A column given as a whole number ("12" -> 12) or as one or two letters of any case ("A" -> 1,
    // "iv" -> 256, "IW" -> 257); anything else is 0. Callers check the range they accept.
    static int ColumnNumber(const QString &text);

    // Shutdown: empties every slot and quits every spreadsheet instance, closing their workbooks and windows.
    // A workbook still on screen with unsaved changes is offered for saving first, unless the program
    // is being terminated (then nobody may be there to answer).
    void ReleaseAll(bool askToSave = true);

    // The watch: every 500 ms while on. Started whenever a slot's application opens or adds a workbook.
    QTimer tmrExcel;
    void tmrExcel_Timer();

    // The word-processor slot (slot 1, the requisition form).
    WordSlot &word() { return m_word; }
    const WordSlot &word() const { return m_word; }
    // As AttachExcel, for the word processor.
    void AttachWord(bool visible, bool newInstance);
    // A hidden instance closes the slot's document; an instance left without documents quits; the slot is
    // emptied. A visible document stays open for the user to save or print.
    void CloseWord();
    // The slot's application and document are set and alive and the application holds documents.
    bool WordDocumentOpen() const;
    // Pages of the slot's document after repaginating; 0 without a document.
    int PageCount() const;
    // True when the first and the last row of table `t` of the slot's document lie on different pages.
    bool TableSpansPages(int t) const;
    // A page break at the end of the slot's document.
    void BreakPageAtEnd();
    // Footer of section 1: "第 n 页 共 m 页" with PAGE and NUMPAGES fields, right-aligned; the header's
    // bottom border hidden. Sets pageNumbersInserted; false when there is no document.
    void AddPageNumberFooter();
    bool pageNumbersInserted = false;

signals:
    // A slot started or attached an instance (so its workbooks or documents can be followed).
    void excelAttached(tavlo::sheet::Application *application);
    void wordAttached(tavlo::document::Application *application);
    // CloseExcel emptied a slot that held an application or a workbook (whoever called it: the watch, a
    // tool finishing its work, the owner itself). Shutdown's ReleaseAll says nothing.
    void excelSlotReleased(int slot);

private slots:
    void startWatch();

private:
    void watchApplication(tavlo::sheet::Application *application);
    bool usedByOtherSlot(const tavlo::sheet::Application *application, int slot) const;
    int countCells(int slot, int sheet, int fixed, bool alongRow) const;

    std::array<ExcelSlot, kExcelSlotCount> m_excel;
    WordSlot m_word;
};
