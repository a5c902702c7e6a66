#include "Application.h"

#include "Document.h"

namespace tavlo::document {

int DocumentList::Count() const {
    return int(m_application->openFiles().size());
}

Document *DocumentList::Item(int index) const {
    return static_cast<Document *>(m_application->openFile(index));
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
    : m_documents(this) {}

Application::~Application() = default;

Application *Application::create() {
    return new Application();
}

QList<Document *> Application::documentList() const {
    return openFilesAs<Document>();
}

void Application::adopt(Document *document) {
    adoptFile(document);
    emit documentOpened(document);
}

void Application::fileForgotten(office::OfficeFile *file) {
    emit documentClosed(static_cast<Document *>(file));
}

} // namespace tavlo::document
