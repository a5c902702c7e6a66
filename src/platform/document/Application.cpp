#include "Application.h"

#include "Document.h"
#include "DocumentWindow.h"

#include "platform/window/WindowPlacement.h"

#include <QPointer>

namespace tavlo::document {

namespace {

QList<QPointer<Application>> &runningList() {
    static QList<QPointer<Application>> list;
    return list;
}

} // namespace

int DocumentList::Count() const {
    return int(m_application->m_open.size());
}

Document *DocumentList::Item(int index) const {
    return index >= 1 && index <= Count() ? m_application->m_open[index - 1] : nullptr;
}

Document *DocumentList::Add() {
    Application *app = m_application;
    if (!app->isAlive())
        return nullptr;
    auto *document = new Document(app, QStringLiteral("文档%1").arg(++app->m_newCounter));
    app->adopt(document);
    return document;
}

Application::Application()
    : m_documents(this) {
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

void Application::adopt(Document *document) {
    m_open.append(document);
    if (m_visible)
        showWindow(document);
    emit documentOpened(document);
}

void Application::forget(Document *document) {
    if (m_open.removeAll(document) > 0)
        emit documentClosed(document);
}

void Application::showWindow(Document *document) {
    if (QWidget *window = document->window()) {
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
    for (Document *document : std::as_const(m_open)) {
        if (visible)
            showWindow(document);
        else if (document->hasWindow())
            document->window()->hide();
    }
}

void Application::askToSaveChanges() {
    for (Document *document : std::as_const(m_open)) {
        auto *window = qobject_cast<DocumentWindow *>(document->hasWindow() ? document->window() : nullptr);
        if (window && window->isVisible() && !document->Saved())
            window->askToSave(false);
    }
}

void Application::Quit() {
    if (m_quit)
        return;
    const QList<Document *> open = m_open;
    for (Document *document : open)
        document->Close();
    m_quit = true;
    runningList().removeAll(this);
    deleteLater();
}

} // namespace tavlo::document
