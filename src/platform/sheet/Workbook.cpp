#include "Workbook.h"

#include "Application.h"
#include "Biff8Writer.h"
#include "WorkbookFile.h"
#include "Worksheet.h"

#include <QFileInfo>

namespace tavlo::sheet {

Workbook::Workbook(Application *application, const QString &name, const QString &fullName,
                   BookContent content)
    : office::OfficeFile(application, name, fullName) {
    if (content.sheets.empty())
        content.sheets.emplace_back(QStringLiteral("Sheet1"));
    for (SheetData &data : content.sheets)
        m_sheets.push_back(new Worksheet(this, std::move(data)));
    m_active = std::clamp(content.activeSheet, 0, int(m_sheets.size()) - 1);
}

Workbook::~Workbook() {
    dropWindow();
}

Application *Workbook::application() const {
    return static_cast<Application *>(officeApplication());
}

bool Workbook::failWith(const QString &message) {
    m_lastError = message;
    return false;
}

Worksheet *Workbook::Sheets(int index) const {
    if (m_closed || index < 1 || index > int(m_sheets.size()))
        return nullptr;
    return m_sheets[size_t(index - 1)];
}

Worksheet *Workbook::Sheets(const QString &name) const {
    if (m_closed)
        return nullptr;
    for (Worksheet *sheet : m_sheets)
        if (sheet->Name().compare(name, Qt::CaseInsensitive) == 0)
            return sheet;
    return nullptr;
}

Worksheet *Workbook::ActiveSheet() const {
    return m_closed ? nullptr : m_sheets[size_t(m_active)];
}

QString Workbook::freeSheetName() const {
    for (int n = int(m_sheets.size()) + 1;; ++n) {
        const QString name = QStringLiteral("Sheet%1").arg(n);
        if (!Sheets(name))
            return name;
    }
}

Worksheet *Workbook::AddSheet(const QString &name) {
    if (m_closed)
        return nullptr;
    const QString sheetName = name.isEmpty() ? freeSheetName() : name;
    if (!biff8::isValidSheetName(sheetName) || Sheets(sheetName)) {
        failWith(QStringLiteral("工作表名“%1”无效或已被使用").arg(sheetName));
        return nullptr;
    }
    auto *sheet = new Worksheet(this, SheetData(sheetName));
    m_sheets.push_back(sheet);
    markModified();
    emit sheetsChanged();
    return sheet;
}

void Workbook::activateSheet(Worksheet *sheet) {
    for (int i = 0; i < int(m_sheets.size()); ++i) {
        if (m_sheets[size_t(i)] == sheet && i != m_active) {
            m_active = i;
            emit activeSheetChanged(sheet);
        }
    }
}

void Workbook::markModified() {
    setSaved(false);
}

BookView Workbook::view() const {
    BookView view;
    for (const Worksheet *sheet : m_sheets)
        view.sheets.append(&sheet->data());
    view.activeSheet = m_active;
    return view;
}

bool Workbook::Save() {
    if (m_closed)
        return failWith(QStringLiteral("工作簿已关闭"));
    if (m_fullName.isEmpty() || formatForSaving(m_fullName) == FileFormat::Unknown)
        return failWith(QStringLiteral("工作簿还没有以 .xlsx、.xls 或 .csv 文件保存过"));
    return SaveAs(m_fullName);
}

bool Workbook::SaveAs(const QString &path) {
    if (m_closed)
        return failWith(QStringLiteral("工作簿已关闭"));
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QString error;
    const BookView saved = view();
    if (!writeWorkbookFile(absolute, saved, &error))
        return failWith(error);
    const qsizetype lost = formulasNotKept(saved, formatForSaving(absolute));
    m_saveNote = lost > 0 ? QStringLiteral("有 %1 个公式无法以 .%2 格式保留，只保存了它们的计算结果")
                                .arg(lost)
                                .arg(QFileInfo(absolute).suffix().toLower())
                          : QString();
    adoptSavedPath(absolute);
    setSaved(true);
    return true;
}

} // namespace tavlo::sheet
