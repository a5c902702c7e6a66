#include "Application.h"

#include "Document.h"

namespace tavlo::document {

namespace {

office::WindowHost *windowHostSlot = nullptr;

} // namespace

int DocumentList::Count() const {
    return int(m_application->openFiles().size());
}

Document *DocumentList::Item(int index) const {
    return index >= 1 && index <= Count() ? static_cast<Document *>(m_application->openFiles()[index - 1])
                                          : nullptr;
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
    : office::OfficeApplication(&windowHostSlot)
    , m_documents(this) {}

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

QList<Document *> Application::documentList() const {
    QList<Document *> list;
    for (office::OfficeFile *file : openFiles())
        list.append(static_cast<Document *>(file));
    return list;
}

void Application::adopt(Document *document) {
    adoptFile(document);
    emit documentOpened(document);
}

void Application::fileForgotten(office::OfficeFile *file) {
    emit documentClosed(static_cast<Document *>(file));
}

} // namespace tavlo::document
