#include "modOffice.h"

#include "modCommon.h"
#include "platform/document/Application.h"
#include "platform/document/Document.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/CellAddress.h"
#include "platform/sheet/Workbook.h"
#include "platform/sheet/Worksheet.h"

#include <QCoreApplication>

#include <algorithm>

using tavlo::sheet::Application;
using tavlo::sheet::Workbook;
using tavlo::sheet::Worksheet;

OfficeSlots::OfficeSlots(QObject *parent)
    : QObject(parent) {
    tmrExcel.setInterval(500);
    connect(&tmrExcel, &QTimer::timeout, this, &OfficeSlots::tmrExcel_Timer);
}

OfficeSlots::~OfficeSlots() = default;

ExcelSlot *OfficeSlots::excel(int slot) {
    return slot >= 1 && slot <= kExcelSlotCount ? &m_excel[size_t(slot - 1)] : nullptr;
}

const ExcelSlot *OfficeSlots::excel(int slot) const {
    return slot >= 1 && slot <= kExcelSlotCount ? &m_excel[size_t(slot - 1)] : nullptr;
}

void OfficeSlots::watchApplication(Application *application) {
    // Whoever opens a workbook through a slot's application starts the watch, so no closed workbook
    // is left holding a slot.
    connect(application, &Application::workbookOpened, this, &OfficeSlots::startWatch, Qt::UniqueConnection);
}

void OfficeSlots::startWatch() {
    tmrExcel.start();
}

void OfficeSlots::AttachExcel(int slot, bool visible, bool newInstance) {
    ExcelSlot *s = excel(slot);
    if (!s)
        return;
    bool startedHere = false;
    if (ObjectDead(s->application)) {
        *s = ExcelSlot{};
        Application *app = newInstance ? nullptr : Application::running();
        if (!app) {
            app = Application::create();
            startedHere = true;
        }
        s->application = app;
        watchApplication(app);
        emit excelAttached(app);
    }
    if (startedHere || visible)
        s->application->setVisible(visible);
}

bool OfficeSlots::usedByOtherSlot(const Application *application, int slot) const {
    for (int i = 1; i <= kExcelSlotCount; ++i)
        if (i != slot && excel(i)->application == application)
            return true;
    return false;
}

void OfficeSlots::CloseExcel(int slot) {
    ExcelSlot *s = excel(slot);
    if (!s)
        return;
    Application *app = s->application;
    const bool held = app || s->workbook;
    if (app && app->isAlive()) {
        if (!app->Visible() && s->workbook && s->workbook->isAlive())
            s->workbook->Close();
        if (app->Workbooks().Count() == 0 && !usedByOtherSlot(app, slot))
            app->Quit();
    }
    *s = ExcelSlot{};
    if (held)
        emit excelSlotReleased(slot);
}

bool OfficeSlots::WorkbookAlive(int slot) const {
    const ExcelSlot *s = excel(slot);
    return s && !ObjectDead(s->application) && !ObjectDead(s->workbook) && s->workbook->SheetsCount() != 0;
}

int OfficeSlots::countCells(int slot, int sheet, int fixed, bool alongRow) const {
    const ExcelSlot *s = excel(slot);
    if (!s || ObjectDead(s->workbook))
        return 0;
    const Worksheet *ws = s->workbook->Sheets(sheet);
    if (!ws)
        return 0;
    const int limit = alongRow ? tavlo::sheet::kMaxColumns : tavlo::sheet::kMaxRows;
    // Only blanks are trimmed: a cell holding a tab still counts.
    auto blank = [](const QString &value) {
        return std::all_of(value.begin(), value.end(), [](QChar c) { return c == u' '; });
    };
    int count = 0;
    while (count < limit && !blank(alongRow ? ws->value(fixed, count + 1) : ws->value(count + 1, fixed)))
        ++count;
    return count;
}

int OfficeSlots::CountAlongRow(int slot, int sheet, int row) const {
    return countCells(slot, sheet, row, true);
}

int OfficeSlots::CountDownColumn(int slot, int sheet, int column) const {
    return countCells(slot, sheet, column, false);
}

int OfficeSlots::LastUsedRow(int slot) const {
    const ExcelSlot *s = excel(slot);
    if (!s || ObjectDead(s->application) || ObjectDead(s->workbook) || ObjectDead(s->worksheet))
        return -1;
    return s->worksheet->UsedRange().lastRow();
}

bool OfficeSlots::ObjectDead(const Application *object) {
    return !object || !object->isAlive();
}

bool OfficeSlots::ObjectDead(const Workbook *object) {
    return !object || !object->isAlive();
}

bool OfficeSlots::ObjectDead(const Worksheet *object) {
    return !object || !object->isAlive();
}

int OfficeSlots::ColumnNumber(const QString &text) {
    if (modCommon::IsWholeNumber(text)) {
        double value = 0;
        modCommon::IsNumeric(text, &value);
        return value >= -2147483647.0 && value <= 2147483647.0 ? int(value) : 0;
    }
    return text.size() <= 2 ? tavlo::sheet::columnFromLetters(text) : 0;
}

void OfficeSlots::tmrExcel_Timer() {
    bool anyAlive = false;
    for (int slot = 1; slot <= kExcelSlotCount; ++slot) {
        if (WorkbookAlive(slot))
            anyAlive = true;
        else if (excel(slot)->application || excel(slot)->workbook)
            CloseExcel(slot);
    }
    if (!anyAlive)
        tmrExcel.stop();
}

void OfficeSlots::AttachWord(bool visible, bool newInstance) {
    using tavlo::document::Application;
    bool startedHere = false;
    if (!m_word.application || !m_word.application->isAlive()) {
        m_word = WordSlot{};
        Application *app = newInstance ? nullptr : Application::running();
        if (!app) {
            app = Application::create();
            startedHere = true;
        }
        m_word.application = app;
        emit wordAttached(app);
    }
    if (startedHere || visible)
        m_word.application->setVisible(visible);
}

void OfficeSlots::CloseWord() {
    tavlo::document::Application *app = m_word.application;
    if (app && app->isAlive()) {
        if (!app->Visible() && m_word.document && m_word.document->isAlive())
            m_word.document->Close();
        if (app->Documents().Count() == 0)
            app->Quit();
    }
    m_word = WordSlot{};
}

bool OfficeSlots::WordDocumentOpen() const {
    return m_word.application && m_word.application->isAlive() && m_word.document &&
           m_word.document->isAlive() && m_word.application->Documents().Count() != 0;
}

int OfficeSlots::PageCount() const {
    return WordDocumentOpen() ? m_word.document->pageCount() : 0;
}

bool OfficeSlots::TableSpansPages(int t) const {
    return WordDocumentOpen() && m_word.document->tableSpansPages(t);
}

void OfficeSlots::BreakPageAtEnd() {
    if (!WordDocumentOpen())
        return;
    m_word.document->selection().EndKey();
    m_word.document->selection().InsertBreak();
}

void OfficeSlots::AddPageNumberFooter() {
    using tavlo::document::Alignment;
    if (!WordDocumentOpen()) {
        pageNumbersInserted = false;
        return;
    }
    tavlo::document::Document *d = m_word.document;
    d->footerInsertAfter(QStringLiteral("第"));
    d->footerAddField(QStringLiteral("PAGE  \\* Arabic "));
    d->footerInsertAfter(QStringLiteral("页 "));
    d->footerInsertAfter(QStringLiteral("共"));
    d->footerAddField(QStringLiteral("NUMPAGES  \\* Arabic "));
    d->footerInsertAfter(QStringLiteral("页"));
    d->setFooterAlignment(Alignment::Right);
    d->setHeaderBottomBorder(false);
    pageNumbersInserted = true;
}

void OfficeSlots::ReleaseAll(bool askToSave) {
    tmrExcel.stop();
    for (ExcelSlot &s : m_excel)
        s = ExcelSlot{};
    m_word = WordSlot{};
    pageNumbersInserted = false;
    QList<QPointer<tavlo::document::Application>> quittingWord;
    for (tavlo::document::Application *app : tavlo::document::Application::instances()) {
        if (askToSave)
            app->askToSaveChanges();
        app->Quit();
        quittingWord.append(app);
    }
    for (const QPointer<tavlo::document::Application> &app : std::as_const(quittingWord))
        if (app)
            QCoreApplication::sendPostedEvents(app, QEvent::DeferredDelete);
    QList<QPointer<Application>> quitting;
    for (Application *app : Application::instances()) {
        if (askToSave)
            app->askToSaveChanges();
        app->Quit();
        quitting.append(app);
    }
    // The instances go now, with their workbooks and windows, while the program still runs.
    for (const QPointer<Application> &app : std::as_const(quitting))
        if (app)
            QCoreApplication::sendPostedEvents(app, QEvent::DeferredDelete);
}
