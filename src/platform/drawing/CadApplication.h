#pragma once

#include "CadDocument.h"
#include "platform/office/OfficeApplication.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace tavlo::drawing {

class CadApplication;

// `Documents`: the open drawings, indexable from 0 and by name.
class CadDocuments {
public:
    explicit CadDocuments(CadApplication *application)
        : m_application(application) {}
    int Count() const;
    CadDocument *Item(int index) const;
    // By file name with extension (any case), or by full path.
    CadDocument *Item(const QString &name) const;
    // Opens a DXF drawing. A file already open gives that document. nullptr on failure, with the reason
    // in CadApplication::lastError().
    CadDocument *Open(const QString &path);

private:
    CadApplication *m_application;
};

// The embedded CAD program: holds open drawings. A drawing window (when the program has one) registers
// itself through the signals (visibleChanged among them) and the screen picker; this class itself needs
// no window. `Quit` closes every drawing without saving and deletes the application later.
class CadApplication : public office::OfficeApplication {
    Q_OBJECT

public:
    // Picks entities on screen in the document's window: returns the chosen entities, already narrowed
    // to those the filter admits; *accepted false when the user cancelled.
    using ScreenPicker =
        std::function<QList<CadEntity *>(CadDocument *, const SelectionFilter &, bool *accepted)>;

    // A new instance (`CreateObject`), and the first running one or nullptr (`GetObject`).
    static CadApplication *create();
    static CadApplication *running();
    static QList<CadApplication *> instances();

    ~CadApplication() override;

    // The title of the program's main window: "Drawing" and the active drawing's name.
    QString Caption() const;
    // "major.minor (build)": 24.1 and above offer tables.
    QString Version() const;

    CadDocuments Documents() { return CadDocuments(this); }
    const QList<CadDocument *> &documentList() const { return m_open; }
    CadDocument *ActiveDocument() const { return m_active; }

    void setScreenPicker(ScreenPicker picker) { m_picker = std::move(picker); }
    const ScreenPicker &screenPicker() const { return m_picker; }

    QString lastError() const { return m_lastError; }

signals:
    void documentOpened(tavlo::drawing::CadDocument *document);
    void documentClosed(tavlo::drawing::CadDocument *document);
    void activeDocumentChanged(tavlo::drawing::CadDocument *document);
    // A window should come to the front (ActiveDocument's window).
    void activationRequested(tavlo::drawing::CadDocument *document);

private:
    friend class CadDocuments;
    friend class CadDocument;
    CadApplication();
    CadDocument *open(const QString &path);
    void activate(CadDocument *document);
    void forget(CadDocument *document);
    void closeEverything() override;

    QList<CadDocument *> m_open;
    std::vector<std::unique_ptr<CadDocument>> m_all; // open and closed drawings, see CadDocument
    CadDocument *m_active = nullptr;
    ScreenPicker m_picker;
    QString m_lastError;
};

} // namespace tavlo::drawing
