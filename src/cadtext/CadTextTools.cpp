#include "CadTextTools.h"

#include "CadConnection.h"
#include "CadPanel.h"
#include "ChineseConversion.h"
#include "TextExtraction.h"
#include "TextReplacement.h"
#include "common/BusyPointer.h"
#include "common/modCommon.h"
#include "common/modOffice.h"
#include "platform/drawing/CadDocument.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>

using tavlo::drawing::CadDocument;
using tavlo::drawing::CadSelectionSet;

namespace {

constexpr int kSheetSlot = OfficeSlots::TextExtraction;
constexpr int kManuscriptSlot = OfficeSlots::Manuscript;
// The window gets its messages at least this often during a walk.
constexpr int kPumpMilliseconds = 30;

QString doneMessage(const char *verb, int count) {
    return QString::fromUtf8(verb) + QString::number(count) + QStringLiteral(" 处文字。");
}

// Said after the count when single-line texts had to be cut to the length CAD programs accept.
QString cutNote(int cut) {
    if (cut <= 0)
        return {};
    return QStringLiteral("其中 %1 处单行文字超过 256 个字符，已截断。").arg(cut);
}

// The column boxes show their numbers while a run lasts; the typed texts come back when it ends.
class ColumnNumbers {
public:
    explicit ColumnNumbers(CadPanel &panel)
        : m_panel(panel) {}
    ~ColumnNumbers() { m_panel.restoreColumns(); }
    ColumnNumbers(const ColumnNumbers &) = delete;
    ColumnNumbers &operator=(const ColumnNumbers &) = delete;
    void show(CadPanel::Field box, int number) { m_panel.showColumnNumber(box, number); }

private:
    CadPanel &m_panel;
};

} // namespace

CadTextTools::CadTextTools(CadPanel &panel, CadConnection &connection, ToolContext context, QObject *parent)
    : QObject(parent)
    , m_panel(panel)
    , m_connection(connection)
    , m_context(std::move(context))
    , m_office(*m_context.office) {
    connect(&m_panel, &CadPanel::extractClicked, this, &CadTextTools::cmdExtract_Click);
    connect(&m_panel, &CadPanel::manuscriptClicked, this, &CadTextTools::cmdManuscript_Click);
    connect(&m_panel, &CadPanel::sheetActivated, this, &CadTextTools::comSheet_Click);
    connect(&m_panel, &CadPanel::replaceClicked, this, &CadTextTools::cmdReplace_Click);
    connect(&m_panel, &CadPanel::shiftChineseClicked, this, &CadTextTools::cmdShiftChinese_Click);
}

bool CadTextTools::begin() {
    // Not inside other long work (a batch lets events through, and so does a walk).
    if (m_busy || m_connection.isBusy() || BusyPointer::isBusy())
        return false;
    m_busy = true;
    m_pointer.emplace();
    return true;
}

void CadTextTools::end() {
    m_pointer.reset();
    m_busy = false;
}

TextWalk::Options CadTextTools::walkOptions(int index) const {
    TextWalk::Options options;
    options.lists = m_connection.filterChoice(index);
    const CadPanel::Containers boxes = m_panel.containers(index);
    options.insert = boxes.insert;
    options.attribute = boxes.attribute;
    options.table = boxes.table && boxes.tableOffered;
    options.attributeDefinition = boxes.attributeDefinition;
    return options;
}

TextWalk::StepCallback CadTextTools::stepper(int index, CadDocument *document,
                                             std::function<bool()> stillNeeded) {
    m_stopped = false;
    QPointer<CadDocument> watched(document);
    const int owner = CadSlots::ownerOf(index);
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    auto shown = std::make_shared<int>(-1);
    return [this, watched, owner, timer, shown, stillNeeded](int done, int total) {
        const int blocks = modAutoCAD::ProgressBlocks(done, total);
        if (blocks != *shown) {
            *shown = blocks;
            m_connection.ShowProgress(done, total);
        }
        if (timer->elapsed() >= kPumpMilliseconds) {
            QCoreApplication::processEvents();
            timer->restart();
        }
        const CadSlot *cad = m_connection.cadSlots.slot(owner);
        if (watched.isNull() || !watched->isAlive() || cad->document != watched ||
            (stillNeeded && !stillNeeded()))
            m_stopped = true;
        return !m_stopped;
    };
}

QString CadTextTools::resultMessage(const char *verb, int count) const {
    return (m_stopped ? QStringLiteral("已中止：") : QString()) + doneMessage(verb, count);
}

void CadTextTools::cmdExtract_Click() {
    if (m_busy || m_connection.isBusy())
        return;
    const CadSlot *cad = m_connection.cadSlots.slot(CadSlots::kExtraction);
    if (!cad->application) {
        m_context.tip(QStringLiteral("先选择 Dwg 文件。"));
        m_panel.refuse(CadPanel::Field::Drawing0);
        return;
    }
    if (!m_office.WorkbookAlive(kSheetSlot))
        m_office.CloseExcel(kSheetSlot);
    ExcelSlot *excel = m_office.excel(kSheetSlot);
    if (!excel->application)
        m_office.AttachExcel(kSheetSlot, true, true);
    if (!excel->application) {
        m_office.CloseExcel(kSheetSlot);
        return;
    }
    if (!excel->workbook) {
        excel->workbook = excel->application->Workbooks().Add();
        if (!excel->workbook) {
            m_office.CloseExcel(kSheetSlot);
            return;
        }
    }
    if (!excel->worksheet)
        excel->worksheet = excel->workbook->Sheets(1);
    if (!excel->worksheet || !excel->worksheet->setColumnsFormat(1, 3, QStringLiteral("@"))) {
        m_office.CloseExcel(kSheetSlot);
        return;
    }
    m_connection.BuildSelectionFilter(0);
    ExtractTexts();
}

void CadTextTools::ExtractTexts() {
    CadSelectionSet *set = m_connection.MakeSelection(0);
    if (!begin())
        return;
    ExcelSlot *excel = m_office.excel(kSheetSlot);
    // The sheet comes up, then the main window over it; the walk's own event passes show both, so no
    // wait is needed here, where a timer or a stop button could get in before the walk begins.
    if (excel->application)
        excel->application->bringToFront();
    m_context.bringWindowToFront();
    int count = 0;
    const CadSlot *cad = m_connection.cadSlots.slot(CadSlots::kExtraction);
    if (set && cad->document && excel->worksheet) {
        TextExtraction::Options options;
        options.walk = walkOptions(0);
        options.noDuplicate = m_panel.noDuplicate();
        options.chineseOnly = m_panel.chineseOnly();
        const int baseRow = m_office.LastUsedRow(kSheetSlot);
        CadDocument *document = cad->document;
        // The sheet window shows the new rows once, at the end.
        tavlo::sheet::Worksheet::ChangeHold hold(excel->worksheet);
        const QPointer<tavlo::sheet::Worksheet> sheet(excel->worksheet);
        count =
            TextExtraction::ExtractTexts(set->items(), document->Name(), *excel->worksheet, baseRow, options,
                                         stepper(0, document, [sheet] { return sheet && sheet->isAlive(); }));
    }
    if (excel->application)
        excel->application->bringToFront();
    m_connection.FinishProgress(resultMessage("成功提取", count));
    end();
}

void CadTextTools::cmdManuscript_Click() {
    if (m_busy || m_connection.isBusy())
        return;
    const QString filter = QStringLiteral("Excel 文件(*.xls;*.xlsx)|*.xls;*.xlsx") + QLatin1Char('|') +
                           QStringLiteral("所有文件 (*.*)|*.*");
    const QString path = m_context.openFile(QStringLiteral("选择文稿文件"), filter, m_context.dataFolder,
                                            QStringLiteral("xls"));
    if (path.isEmpty())
        return;
    openManuscript(path);
}

void CadTextTools::openManuscript(const QString &path) {
    if (m_busy || m_connection.isBusy())
        return;
    if (!m_office.WorkbookAlive(kManuscriptSlot)) {
        m_office.CloseExcel(kManuscriptSlot);
        m_office.AttachExcel(kManuscriptSlot, true, true);
    }
    ExcelSlot *excel = m_office.excel(kManuscriptSlot);
    if (!excel->application)
        return;
    tavlo::sheet::Workbook *book = excel->application->Workbooks().Open(path);
    if (!book) {
        // Said in the status line: a manuscript that cannot be read must not look as if nothing happened.
        const QString reason = excel->application->lastError();
        m_office.CloseExcel(kManuscriptSlot);
        m_context.tip(QStringLiteral("无法打开文稿文件 %1：%2").arg(QDir::toNativeSeparators(path), reason));
        return;
    }
    book->setSaved(true);
    excel->workbook = book;
    excel->worksheet = book->ActiveSheet();
    fillSheetList();
    m_panel.showToRow(m_office.LastUsedRow(kManuscriptSlot));
    m_context.bringWindowToFront();
}

void CadTextTools::fillSheetList() {
    const ExcelSlot *excel = m_office.excel(kManuscriptSlot);
    QStringList names;
    int current = -1;
    if (excel->workbook) {
        for (int i = 1; i <= excel->workbook->SheetsCount(); ++i)
            names.append(excel->workbook->Sheets(i)->Name());
        if (const tavlo::sheet::Worksheet *active = excel->workbook->ActiveSheet())
            current = active->Index() - 1;
    }
    m_panel.showSheets(names, current);
}

void CadTextTools::comSheet_Click() {
    if (m_busy || m_connection.isBusy() || !m_office.WorkbookAlive(kManuscriptSlot))
        return;
    ExcelSlot *excel = m_office.excel(kManuscriptSlot);
    const QStringList shown = m_panel.sheetNames();
    bool matches = shown.size() == excel->workbook->SheetsCount();
    for (int i = 0; matches && i < shown.size(); ++i)
        matches = shown[i].compare(excel->workbook->Sheets(i + 1)->Name(), Qt::CaseInsensitive) == 0;
    if (!matches) {
        const int position = m_panel.currentSheet();
        fillSheetList();
        m_panel.chooseSheet(position);
        return;
    }
    tavlo::sheet::Worksheet *sheet = excel->workbook->Sheets(m_panel.currentSheetName());
    if (!sheet)
        return;
    sheet->Activate();
    excel->worksheet = excel->workbook->ActiveSheet();
    m_panel.showToRow(m_office.LastUsedRow(kManuscriptSlot));
}

void CadTextTools::cmdReplace_Click() {
    if (m_busy || m_connection.isBusy())
        return;
    if (!m_office.WorkbookAlive(kManuscriptSlot) || !m_office.excel(kManuscriptSlot)->worksheet) {
        m_context.tip(QStringLiteral("先选择文稿文件。"));
        m_panel.refuse(CadPanel::Field::Manuscript);
        return;
    }
    if (!m_connection.cadSlots.slot(CadSlots::kReplacement)->application) {
        m_context.tip(QStringLiteral("先选择 Dwg 文件。"));
        m_panel.refuse(CadPanel::Field::Drawing1);
        return;
    }
    using Field = CadPanel::Field;
    const CadPanel::Range range = m_panel.range();
    ColumnNumbers columns(m_panel);
    const int fromColumn = OfficeSlots::ColumnNumber(range.fromColumn);
    if (fromColumn < 1 || fromColumn > 256)
        return m_panel.refuse(Field::FromColumn);
    columns.show(Field::FromColumn, fromColumn);
    const int toColumn = OfficeSlots::ColumnNumber(range.toColumn);
    if (toColumn < 1 || toColumn > 256)
        return m_panel.refuse(Field::ToColumn);
    columns.show(Field::ToColumn, toColumn);
    const int lastRow = m_office.LastUsedRow(kManuscriptSlot);
    const QString fromText = range.fromRow.trimmed();
    const int fromRow = modCommon::IsWholeNumber(fromText) ? int(fromText.toDouble()) : 0;
    if (fromRow < 1 || fromRow > lastRow)
        return m_panel.refuse(Field::FromRow);
    const QString toText = range.toRow.trimmed();
    const int toRow = modCommon::IsWholeNumber(toText) ? int(toText.toDouble()) : 0;
    if (toRow < 1 || toRow > lastRow || toRow < fromRow)
        return m_panel.refuse(Field::ToRow);
    m_connection.BuildSelectionFilter(1);
    ReplaceTexts(fromRow, toRow, fromColumn, toColumn);
}

void CadTextTools::ReplaceTexts(int fromRow, int toRow, int fromColumn, int toColumn) {
    CadSelectionSet *set = m_connection.MakeSelection(1);
    if (!begin())
        return;
    int count = 0;
    int cut = 0;
    const CadSlot *cad = m_connection.cadSlots.slot(CadSlots::kReplacement);
    const ExcelSlot *excel = m_office.excel(kManuscriptSlot);
    if (set && cad->document && excel->worksheet) {
        TextReplacement::Options options;
        options.walk = walkOptions(1);
        options.convertFont = m_panel.convertFont();
        options.matchWidth = m_panel.matchWidth();
        options.sample = excel->worksheet->value(toRow, toColumn);
        const auto manuscript =
            TextReplacement::Manuscript::fromSheet(*excel->worksheet, fromRow, toRow, fromColumn, toColumn);
        CadDocument *document = cad->document;
        // The drawing's windows are redrawn once, when the walk is over.
        CadDocument::ChangeHold hold(document);
        const int cutBefore = document->cutTextCount();
        count =
            TextReplacement::ReplaceTexts(set->items(), *document, manuscript, options, stepper(1, document));
        cut = document->isAlive() ? document->cutTextCount() - cutBefore : 0;
    }
    m_connection.FinishProgress(resultMessage("成功替换", count) + cutNote(cut));
    end();
}

void CadTextTools::cmdShiftChinese_Click(int index) {
    if (m_busy || m_connection.isBusy() || index < 0 || index > 1)
        return;
    if (!m_connection.cadSlots.slot(CadSlots::kReplacement)->application) {
        m_context.tip(QStringLiteral("先选择 Dwg 文件。"));
        m_panel.refuse(CadPanel::Field::Drawing1);
        return;
    }
    m_connection.BuildSelectionFilter(1);
    ConvertChinese(index);
}

void CadTextTools::ConvertChinese(int mode) {
    CadSelectionSet *set = m_connection.MakeSelection(1);
    if (!begin())
        return;
    int count = 0;
    int cut = 0;
    const CadSlot *cad = m_connection.cadSlots.slot(CadSlots::kReplacement);
    if (set && cad->document) {
        ChineseConversion::Options options;
        options.walk = walkOptions(1);
        options.mode = mode;
        options.convertFont = m_panel.convertFont();
        CadDocument *document = cad->document;
        // The drawing's windows are redrawn once, when the walk is over.
        CadDocument::ChangeHold hold(document);
        const int cutBefore = document->cutTextCount();
        count = ChineseConversion::ConvertChinese(set->items(), *document, options, stepper(1, document));
        cut = document->isAlive() ? document->cutTextCount() - cutBefore : 0;
    }
    m_connection.FinishProgress(resultMessage("成功替换", count) + cutNote(cut));
    end();
}
