#include "Application.h"

#include "Workbook.h"
#include "WorkbookFile.h"

#include <QFileInfo>

namespace tavlo::sheet {

int WorkbookList::Count() const {
    return int(m_application->openFiles().size());
}

Workbook *WorkbookList::Item(int index) const {
    return static_cast<Workbook *>(m_application->openFile(index));
}

Workbook *WorkbookList::Add() {
    Application *app = m_application;
    if (!app->isAlive())
        return nullptr;
    const QString name = QStringLiteral("工作簿%1").arg(++app->m_newBookCounter);
    auto *book = new Workbook(app, name, QString(), BookContent{});
    book->m_saved = true;
    app->adopt(book);
    return book;
}

Workbook *WorkbookList::Open(const QString &path) {
    Application *app = m_application;
    if (!app->isAlive())
        return nullptr;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    for (Workbook *open : app->workbookList())
        if (open->FullName() == absolute)
            return open;
    BookContent content;
    QString error;
    if (!readWorkbookFile(absolute, &content, &error)) {
        app->m_lastError = error;
        return nullptr;
    }
    auto *book = new Workbook(app, QFileInfo(absolute).fileName(), absolute, std::move(content));
    app->adopt(book);
    return book;
}

Workbook *WorkbookList::OpenCopy(const QString &path, const QString &name, const QString &fullName) {
    Application *app = m_application;
    if (!app->isAlive())
        return nullptr;
    BookContent content;
    QString error;
    if (!readWorkbookFile(QFileInfo(path).absoluteFilePath(), &content, &error)) {
        app->m_lastError = error;
        return nullptr;
    }
    auto *book = new Workbook(app, name, fullName, std::move(content));
    book->m_saved = false;
    app->adopt(book);
    return book;
}

Application::Application()
    : m_workbooks(this) {}

Application::~Application() = default;

Application *Application::create() {
    return new Application();
}

QString Application::Name() const {
    return QStringLiteral("Tavlo 表格");
}

QList<Workbook *> Application::workbookList() const {
    return openFilesAs<Workbook>();
}

void Application::adopt(Workbook *workbook) {
    adoptFile(workbook);
    emit workbookOpened(workbook);
}

void Application::fileForgotten(office::OfficeFile *file) {
    emit workbookClosed(static_cast<Workbook *>(file));
}

} // namespace tavlo::sheet
