#include "Application.h"

#include "SheetWindow.h"
#include "Workbook.h"
#include "WorkbookFile.h"

#include "platform/window/WindowPlacement.h"

#include <QFileInfo>
#include <QPointer>
#include <QWidget>

namespace tavlo::sheet {

namespace {

// The running instances, like the table of running objects a program attaches to.
QList<QPointer<Application>> &runningList() {
    static QList<QPointer<Application>> list;
    return list;
}

} // namespace

int WorkbookList::Count() const {
    return int(m_application->m_open.size());
}

Workbook *WorkbookList::Item(int index) const {
    if (index < 1 || index > Count())
        return nullptr;
    return m_application->m_open[index - 1];
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
    for (Workbook *open : std::as_const(app->m_open))
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
    : m_workbooks(this) {
    runningList().append(this);
}

Application::~Application() {
    runningList().removeAll(this);
    runningList().removeAll(nullptr);
}

Application *Application::create() {
    return new Application();
}

Application *Application::running() {
    for (const QPointer<Application> &app : std::as_const(runningList()))
        if (app && app->isAlive())
            return app;
    return nullptr;
}

QList<Application *> Application::instances() {
    QList<Application *> list;
    for (const QPointer<Application> &app : std::as_const(runningList()))
        if (app && app->isAlive())
            list.append(app);
    return list;
}

QString Application::Name() const {
    return QStringLiteral("Tavlo 表格");
}

QList<Workbook *> Application::workbookList() const {
    return m_open;
}

void Application::adopt(Workbook *workbook) {
    m_open.append(workbook);
    if (m_visible)
        showWindow(workbook);
    emit workbookOpened(workbook);
}

void Application::forget(Workbook *workbook) {
    if (m_open.removeAll(workbook) > 0)
        emit workbookClosed(workbook);
}

void Application::showWindow(Workbook *workbook) {
    if (QWidget *window = workbook->window()) {
        if (!window->isVisible())
            tavlo::window::placeBesideMainWindow(window);
        window->show();
        window->raise();
    }
}

void Application::setVisible(bool visible) {
    if (m_quit || m_visible == visible)
        return;
    m_visible = visible;
    for (Workbook *book : std::as_const(m_open)) {
        if (visible)
            showWindow(book);
        else if (book->hasWindow())
            book->window()->hide();
    }
}

void Application::bringToFront() {
    if (!m_visible || m_open.isEmpty())
        return;
    if (QWidget *window = m_open.last()->window()) {
        window->show();
        window->raise();
        window->activateWindow();
    }
}

void Application::askToSaveChanges() {
    for (Workbook *book : std::as_const(m_open)) {
        auto *window = qobject_cast<SheetWindow *>(book->hasWindow() ? book->window() : nullptr);
        if (window && window->isVisible() && !book->Saved())
            window->askToSave(false);
    }
}

void Application::Quit() {
    if (m_quit)
        return;
    // Workbooks close first: their windows go, and watchers see them closed before the application ends.
    const QList<Workbook *> open = m_open;
    for (Workbook *book : open)
        book->Close();
    m_quit = true;
    runningList().removeAll(this);
    emit quitting();
    deleteLater();
}

} // namespace tavlo::sheet
