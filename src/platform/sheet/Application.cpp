#include "Application.h"

#include "Workbook.h"
#include "WorkbookFile.h"

#include <QFileInfo>

namespace tavlo::sheet {

namespace {

office::WindowHost *windowHostSlot = nullptr;

} // namespace

int WorkbookList::Count() const {
    return int(m_application->openFiles().size());
}

Workbook *WorkbookList::Item(int index) const {
    if (index < 1 || index > Count())
        return nullptr;
    return static_cast<Workbook *>(m_application->openFiles()[index - 1]);
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
    : office::OfficeApplication(&windowHostSlot)
    , m_workbooks(this) {}

Application::~Application() = default;

Application *Application::create() {
    return new Application();
}

Application *Application::running() {
    return firstRunningOf<Application>();
}

QList<Application *> Application::instances() {
    return runningOf<Application>();
}

void Application::setWindowHost(office::WindowHost *host) {
    windowHostSlot = host;
}

QString Application::Name() const {
    return QStringLiteral("Tavlo 表格");
}

QList<Workbook *> Application::workbookList() const {
    QList<Workbook *> list;
    for (office::OfficeFile *file : openFiles())
        list.append(static_cast<Workbook *>(file));
    return list;
}

void Application::adopt(Workbook *workbook) {
    adoptFile(workbook);
    emit workbookOpened(workbook);
}

void Application::fileForgotten(office::OfficeFile *file) {
    emit workbookClosed(static_cast<Workbook *>(file));
}

} // namespace tavlo::sheet
