#include "CadTextTools.h"

#include "CadConnection.h"
#include "CadPanel.h"
#include "ChineseConversion.h"
#include "TextExtraction.h"
#include "TextReplacement.h"
#include "common/modCommon.h"
#include "common/modCommonDialogs.h"
#include "common/modOffice.h"
#include "platform/drawing/CadDocument.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

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

// A column box shows the number while a run lasts; its typed text waits in the tool tip.
class ColumnBoxes {
public:
    void show(QLineEdit *box, int number) {
        box->setToolTip(box->text());
        box->setText(QString::number(number));
        m_boxes.append(box);
    }
    ~ColumnBoxes() {
        for (QLineEdit *box : m_boxes) {
            box->setText(box->toolTip());
            box->setToolTip(QString());
        }
    }

private:
    QList<QLineEdit *> m_boxes;
};

} // namespace

CadTextTools::CadTextTools(CadPanel &panel, OfficeSlots &office, CadConnection &connection, Context context,
                           QObject *parent)
    : QObject(parent)
    , m_panel(panel)
    , m_office(office)
    , m_connection(connection)
    , m_context(std::move(context)) {
    if (!m_context.chooseFile) {
        m_context.chooseFile = [](QWidget *owner, const QString &title, const QString &filter,
                                  const QString &folder, const QString &extension) {
            return modCommonDialogs::OpenOrSaveDialog(owner, 1, title, filter, folder, extension);
        };
    }
    connect(m_panel.cmdExtract, &QPushButton::clicked, this, &CadTextTools::cmdExtract_Click);
    connect(m_panel.cmdManuscript, &QPushButton::clicked, this, &CadTextTools::cmdManuscript_Click);
    connect(m_panel.comSheet, &QComboBox::activated, this, &CadTextTools::comSheet_Click);
    connect(m_panel.cmdReplace, &QPushButton::clicked, this, &CadTextTools::cmdReplace_Click);
    for (int i = 0; i < int(m_panel.cmdShiftChinese.size()); ++i)
        connect(m_panel.cmdShiftChinese[i], &QPushButton::clicked, this,
                [this, i] { cmdShiftChinese_Click(i); });
}

void CadTextTools::tip(const QString &text) const {
    if (m_context.tip)
        m_context.tip->setText(text);
}

void CadTextTools::refuse(QWidget *box) const {
    box->setFocus(Qt::OtherFocusReason);
    if (auto *edit = qobject_cast<QLineEdit *>(box))
        edit->selectAll();
}

void CadTextTools::bringWindowToFront() const {
    if (QWidget *window = m_context.window) {
        window->raise();
        window->activateWindow();
    }
}

bool CadTextTools::begin() {
    if (m_busy || m_connection.isBusy())
        return false;
    m_busy = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    return true;
}

void CadTextTools::end() {
    QApplication::restoreOverrideCursor();
    m_busy = false;
}

TextWalk::Options CadTextTools::walkOptions(int index) const {
    TextWalk::Options options;
    options.lists = m_connection.filterChoice(index);
    options.insert = m_panel.chkInsert[index]->isChecked();
    options.attribute = m_panel.chkAttribute[index]->isChecked();
    options.table = m_panel.chkTable[index]->isChecked() && m_panel.chkTable[index]->isEnabled();
    options.attributeDefinition = m_panel.chkAttributeDefinition[index]->isChecked();
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
        tip(QStringLiteral("先选择 Dwg 文件。"));
        m_panel.cmdDwgDocument[0]->setFocus(Qt::OtherFocusReason);
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
    if (excel->application)
        excel->application->bringToFront();
    modCommon::WaitMilliseconds(50);
    bringWindowToFront();
    int count = 0;
    const CadSlot *cad = m_connection.cadSlots.slot(CadSlots::kExtraction);
    if (set && cad->document && excel->worksheet) {
        TextExtraction::Options options;
        options.walk = walkOptions(0);
        options.noDuplicate = m_panel.chkNoDuplicate->isChecked();
        options.chineseOnly = m_panel.chkChineseOnly->isChecked();
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
    const QString path = m_context.chooseFile(m_context.window, QStringLiteral("选择文稿文件"), filter,
                                              m_context.dataFolder, QStringLiteral("xls"));
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
        tip(QStringLiteral("无法打开文稿文件 %1：%2").arg(QDir::toNativeSeparators(path), reason));
        return;
    }
    book->setSaved(true);
    excel->workbook = book;
    excel->worksheet = book->ActiveSheet();
    fillSheetList();
    m_panel.txtToRow->setText(QString::number(m_office.LastUsedRow(kManuscriptSlot)));
    bringWindowToFront();
}

void CadTextTools::fillSheetList() {
    const ExcelSlot *excel = m_office.excel(kManuscriptSlot);
    QComboBox *list = m_panel.comSheet;
    list->clear();
    if (!excel->workbook)
        return;
    for (int i = 1; i <= excel->workbook->SheetsCount(); ++i)
        list->addItem(excel->workbook->Sheets(i)->Name());
    if (const tavlo::sheet::Worksheet *active = excel->workbook->ActiveSheet())
        list->setCurrentIndex(active->Index() - 1);
}

void CadTextTools::comSheet_Click() {
    if (m_busy || m_connection.isBusy() || !m_office.WorkbookAlive(kManuscriptSlot))
        return;
    ExcelSlot *excel = m_office.excel(kManuscriptSlot);
    QComboBox *list = m_panel.comSheet;
    bool matches = list->count() == excel->workbook->SheetsCount();
    for (int i = 0; matches && i < list->count(); ++i)
        matches = list->itemText(i).compare(excel->workbook->Sheets(i + 1)->Name(), Qt::CaseInsensitive) == 0;
    if (!matches) {
        const int position = list->currentIndex();
        fillSheetList();
        if (position >= 0 && position < list->count())
            list->setCurrentIndex(position);
        return;
    }
    tavlo::sheet::Worksheet *sheet = excel->workbook->Sheets(list->currentText());
    if (!sheet)
        return;
    sheet->Activate();
    excel->worksheet = excel->workbook->ActiveSheet();
    m_panel.txtToRow->setText(QString::number(m_office.LastUsedRow(kManuscriptSlot)));
}

void CadTextTools::cmdReplace_Click() {
    if (m_busy || m_connection.isBusy())
        return;
    if (!m_office.WorkbookAlive(kManuscriptSlot) || !m_office.excel(kManuscriptSlot)->worksheet) {
        tip(QStringLiteral("先选择文稿文件。"));
        refuse(m_panel.cmdManuscript);
        return;
    }
    if (!m_connection.cadSlots.slot(CadSlots::kReplacement)->application) {
        tip(QStringLiteral("先选择 Dwg 文件。"));
        refuse(m_panel.cmdDwgDocument[1]);
        return;
    }
    ColumnBoxes boxes;
    const int fromColumn = OfficeSlots::ColumnNumber(m_panel.txtFromCol->text());
    if (fromColumn < 1 || fromColumn > 256)
        return refuse(m_panel.txtFromCol);
    boxes.show(m_panel.txtFromCol, fromColumn);
    const int toColumn = OfficeSlots::ColumnNumber(m_panel.txtToCol->text());
    if (toColumn < 1 || toColumn > 256)
        return refuse(m_panel.txtToCol);
    boxes.show(m_panel.txtToCol, toColumn);
    const int lastRow = m_office.LastUsedRow(kManuscriptSlot);
    const QString fromText = m_panel.txtFromRow->text().trimmed();
    const int fromRow = modCommon::IsWholeNumber(fromText) ? int(fromText.toDouble()) : 0;
    if (fromRow < 1 || fromRow > lastRow)
        return refuse(m_panel.txtFromRow);
    const QString toText = m_panel.txtToRow->text().trimmed();
    const int toRow = modCommon::IsWholeNumber(toText) ? int(toText.toDouble()) : 0;
    if (toRow < 1 || toRow > lastRow || toRow < fromRow)
        return refuse(m_panel.txtToRow);
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
        options.convertFont = m_panel.chkConvertFont->isChecked();
        options.matchWidth = m_panel.chkMatchWidth->isChecked();
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
        tip(QStringLiteral("先选择 Dwg 文件。"));
        refuse(m_panel.cmdDwgDocument[1]);
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
        options.convertFont = m_panel.chkConvertFont->isChecked();
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
