#pragma once

#include <QList>
#include <QObject>

namespace tavlo::document {

class Application;
class Document;

// `Documents`: the open documents of one application.
class DocumentList {
public:
    explicit DocumentList(Application *application)
        : m_application(application) {}

    int Count() const;
    // 1-based; nullptr outside 1..Count.
    Document *Item(int index) const;
    // `Documents.Add`: a new empty portrait A4 document.
    Document *Add();

private:
    Application *m_application;
};

// The embedded word processor: holds documents, shows each in a document window while `Visible`, and
// ends with `Quit`. Every application made by create() is listed as running until it quits.
class Application : public QObject {
    Q_OBJECT
    Q_MOC_INCLUDE("platform/document/Document.h")

public:
    static Application *create();
    // The first running instance, or nullptr.
    static Application *running();
    static QList<Application *> instances();

    bool isAlive() const { return !m_quit; }
    DocumentList &Documents() { return m_documents; }
    QList<Document *> documentList() const { return m_open; }

    bool Visible() const { return m_visible; }
    void setVisible(bool visible);
    // Closes every document without saving, leaves the running list and deletes itself later.
    void Quit();
    // Before the program ends: each visible document with unsaved changes asks whether to save it.
    void askToSaveChanges();

signals:
    void documentOpened(tavlo::document::Document *document);
    void documentClosed(tavlo::document::Document *document);

private:
    friend class DocumentList;
    friend class Document;
    Application();
    ~Application() override;
    void adopt(Document *document);
    void forget(Document *document);
    void showWindow(Document *document);

    DocumentList m_documents;
    QList<Document *> m_open;
    bool m_visible = false;
    bool m_quit = false;
    int m_newCounter = 0;
};

} // namespace tavlo::document
