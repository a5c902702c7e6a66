#pragma once

#include "platform/office/OfficeApplication.h"

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

// The embedded word processor: holds documents, shows each in a document window while `Visible` (when
// the document window library is installed), and ends with `Quit`. Every application made by create() is
// listed as running until it quits.
class Application : public office::OfficeApplicationOf<Application> {
    Q_OBJECT
    Q_MOC_INCLUDE("platform/document/Document.h")

public:
    static Application *create();

    DocumentList &Documents() { return m_documents; }
    QList<Document *> documentList() const;

signals:
    void documentOpened(tavlo::document::Document *document);
    void documentClosed(tavlo::document::Document *document);

private:
    friend class DocumentList;
    Application();
    ~Application() override;
    void adopt(Document *document);
    void fileForgotten(office::OfficeFile *file) override;

    DocumentList m_documents;
    int m_newCounter = 0;
};

} // namespace tavlo::document
