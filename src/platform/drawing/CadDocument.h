#pragma once

#include "CadEntity.h"
#include "CadSelectionSet.h"
#include "DxfText.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

class QTimer;

#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace tavlo::drawing {

class CadApplication;
class CadDocument;
class DxfFile;
struct DxfChunk;

// A block definition and the entities inside it. From R2000 on the model space block and the active
// paper space block (*Model_Space, *Paper_Space) hold no entities here: theirs are the document's
// entities(); other layouts (*Paper_Space0...) list theirs.
class CadBlock {
public:
    QString Name() const { return m_name; }
    CadPoint origin() const { return m_origin; } // base point, group 10
    bool isLayout() const;                       // *Model_Space, *Paper_Space...
    bool isAnonymous() const { return m_name.startsWith(QLatin1Char('*')); }
    int Count() const { return int(m_entities.size()); }
    CadEntity *Item(int index) const;
    const QList<CadEntity *> &entities() const { return m_entities; }

private:
    friend class CadDocument;
    QString m_name;
    CadPoint m_origin;
    QList<CadEntity *> m_entities;
};

// `Blocks`: indexable from 0 and by name (any case).
class CadBlocks {
public:
    explicit CadBlocks(const CadDocument *document)
        : m_document(document) {}
    int Count() const;
    CadBlock *Item(int index) const;
    CadBlock *Item(const QString &name) const;

private:
    const CadDocument *m_document;
};

class CadLayer {
public:
    QString Name() const { return m_name; }
    int Color() const { return m_color < 0 ? -m_color : m_color; } // 7 when the record names none
    bool isOff() const { return m_color < 0; }
    bool isFrozen() const { return m_flags & 1; }

private:
    friend class CadDocument;
    QString m_name;
    int m_color = 7;
    int m_flags = 0;
};

class CadLayers {
public:
    explicit CadLayers(const CadDocument *document)
        : m_document(document) {}
    int Count() const;
    CadLayer *Item(int index) const;
    CadLayer *Item(const QString &name) const;

private:
    const CadDocument *m_document;
};

// A STYLE table record.
class CadTextStyle {
public:
    QString Name() const;
    QString FontFile() const;    // group 3
    QString BigFontFile() const; // group 4
    void setFontFile(const QString &file);
    void setBigFontFile(const QString &file);
    double widthFactor() const; // group 41
    double fixedHeight() const; // group 40, 0 when not fixed

private:
    friend class CadDocument;
    CadTextStyle(CadDocument *document, DxfChunk *chunk)
        : m_document(document)
        , m_chunk(chunk) {}
    CadDocument *m_document;
    DxfChunk *m_chunk;
};

class CadTextStyles {
public:
    explicit CadTextStyles(CadDocument *document)
        : m_document(document) {}
    int Count() const;
    CadTextStyle *Item(int index) const;
    CadTextStyle *Item(const QString &name) const;
    // A new STYLE record (font "txt", no big font), or the existing one of that name (any case). nullptr
    // when the drawing has no STYLE table or the name is empty.
    CadTextStyle *Add(const QString &name);

private:
    CadDocument *m_document;
};

class CadSelectionSets {
public:
    explicit CadSelectionSets(CadDocument *document)
        : m_document(document) {}
    int Count() const;
    CadSelectionSet *Item(int index) const;
    CadSelectionSet *Item(const QString &name) const;
    // A new empty set; nullptr when a set of that name exists already (as the CAD program refuses it).
    CadSelectionSet *Add(const QString &name);

private:
    CadDocument *m_document;
};

// An open DXF drawing. Everything the program does not change is written back byte for byte.
// Close() ends it: its entities stay as objects (so pointers held by a running walk do not dangle) but
// every call on them fails quietly; the document object lives until its application is destroyed.
class CadDocument : public QObject {
    Q_OBJECT

public:
    ~CadDocument() override;

    // Reads an ASCII DXF file (R12 to R2018). nullptr with the reason in *error for binary DXF, other
    // files, truncated drawings and read errors.
    static std::unique_ptr<CadDocument> load(const QString &path, QString *error);
    static std::unique_ptr<CadDocument> fromBytes(const QByteArray &bytes, const QString &path,
                                                  QString *error);

    CadApplication *application() const { return m_application; }
    bool isAlive() const { return !m_closed; }

    QString Name() const;                                 // the file name with its extension
    QString FullName() const;                             // the absolute path
    QString acadVersion() const { return m_acadVersion; } // "AC1015"
    QString encodingName() const { return m_codec.name(); }
    const DxfTextCodec &codec() const { return m_codec; }

    void Activate();
    CadBlocks Blocks() const { return CadBlocks(this); }
    CadLayers Layers() const { return CadLayers(this); }
    CadTextStyles TextStyles() { return CadTextStyles(this); }
    CadSelectionSets SelectionSets() { return CadSelectionSets(this); }
    // Tells the windows to redraw; the argument (viewports) is accepted for the callers' sake.
    void Regen(int which = 1);

    // Model space and paper space entities in file order (attributes and vertices are not listed: they
    // belong to their reference or polyline).
    const QList<CadEntity *> &entities() const { return m_entities; }
    QList<CadEntity *> modelSpace() const;
    CadEntity *entityByHandle(const QString &handle) const;
    // True for an MTEXT that another one names as its further column (see CadEntity::linkedColumns).
    bool isLinkedColumn(const CadEntity *entity) const;
    // A header variable's value of the given group code: headerValue("$EXTMIN", 10) for the x of the
    // drawing's lower-left extent; empty when the header has none.
    QString headerValue(const QString &variable, int code) const;

    // True while nothing changed since opening or the last save.
    bool Saved() const { return !m_modified; }
    // The drawing as DXF bytes; without edits the bytes it was read from.
    QByteArray toBytes() const;
    // "name.bak.dxf" beside the file.
    QString backupPath() const;
    // Writes the drawing to FullName. The first save keeps the file as it was opened in backupPath();
    // an existing backup is replaced only with replaceBackup (so a window can ask first), or when it
    // holds exactly the file as it is now (nothing would be lost): otherwise the save fails with
    // backupExists() true. A read-only file is refused before anything is written, backup included.
    // A failed save leaves the file untouched and takes back the backup it made.
    bool Save(bool replaceBackup = false);
    bool backupExists() const;
    // The drawing's file exists and this user may not write it (as a CAD program, we do not replace a
    // file its owner protected, although the folder would allow it).
    bool isReadOnly() const;
    // Writes a new file and from then on is that file (its first Save makes no backup of it). An
    // existing read-only file is not replaced.
    bool SaveAs(const QString &path);
    QString lastError() const { return m_lastError; }
    // Single-line strings cut to the length CAD programs accept (256 characters), since opening.
    int cutTextCount() const { return m_cutTexts; }
    void countCutText() { ++m_cutTexts; }

    // Closes the drawing without saving.
    void Close();

    // Screen picker of the application, if any (see CadApplication::setScreenPicker).
    QList<CadEntity *> pickOnScreen(const SelectionFilter &filter, bool *accepted);

    // Internal: used by the entity and collection classes.
    DxfFile &file() const { return *m_file; }
    // Something changed that may show anywhere: the windows lay the whole drawing out again.
    void markModified();
    // Only `entity` looks different now (nullptr: nothing the windows show, as a text style's font).
    void markModified(CadEntity *entity);
    // Only the string of `entity` changed, nothing else about it: the windows may lay out its text alone.
    void markStringModified(CadEntity *entity);
    const std::vector<std::unique_ptr<CadBlock>> &blockList() const { return m_blocks; }
    const std::vector<std::unique_ptr<CadLayer>> &layerList() const { return m_layers; }
    std::vector<std::unique_ptr<CadTextStyle>> &styleList() { return m_styles; }
    std::vector<std::unique_ptr<CadSelectionSet>> &selectionSetList() { return m_selectionSets; }
    void retireSelectionSet(CadSelectionSet *set);
    CadTextStyle *addTextStyle(const QString &name);
    QString decode(QByteArrayView raw) const { return m_codec.decode(raw); }
    QByteArray encode(const QString &text) const { return m_codec.encode(text); }
    bool isR12() const;

    // Asks the windows to repaint. A burst of edits is told in at most a few signals a second, counted
    // from the end of the last repaint; Regen tells at once. While changes are held, nothing is told
    // until the last hold ends.
    void notifyChanged(bool now = false);

    // Holds back change notifications during a walk over many entities: the edits mark the drawing
    // modified as usual, and the windows hear of them once, when the last hold ends.
    class ChangeHold {
    public:
        explicit ChangeHold(CadDocument *document);
        ~ChangeHold();
        ChangeHold(const ChangeHold &) = delete;
        ChangeHold &operator=(const ChangeHold &) = delete;

    private:
        QPointer<CadDocument> m_document;
    };

    // What the windows have to lay out anew: the entities whose look changed since the last `changed`
    // signal, or everything. Read it while `changed` is being emitted.
    struct ViewChanges {
        bool everything = false;
        QSet<CadEntity *> entities;
        QSet<CadEntity *> stringsOnly; // those of `entities` whose strings alone changed
    };
    const ViewChanges &viewChanges() const { return m_shownChanges; }

signals:
    // Something was edited, or Regen/Update was called: windows repaint (see viewChanges()).
    void changed();
    void savedChanged(bool saved);
    void closed();

private:
    friend class CadApplication;
    CadDocument();
    bool build(QString *error);
    void setPath(const QString &path);
    void emitChanged();
    // Marks the drawing modified and tells the windows (now or soon).
    void noteModified();
    bool writeTo(const QString &path);
    QByteArray toBytesAsOpened() const;
    QString allocateHandle();

    CadApplication *m_application = nullptr;
    std::unique_ptr<DxfFile> m_file;
    DxfTextCodec m_codec;
    QString m_acadVersion;
    QString m_fullName;
    QString m_lastError;
    bool m_modified = false;
    bool m_closed = false;
    bool m_backupDone = false;
    int m_cutTexts = 0;
    int m_holds = 0;
    bool m_heldChange = false;
    ViewChanges m_pendingChanges; // since the last `changed`
    ViewChanges m_shownChanges;   // told by the last `changed`
    QElapsedTimer m_lastChange;
    QTimer *m_changeTimer = nullptr;

    mutable QHash<QString, CadEntity *> m_byHandle;                 // built on first use
    mutable std::optional<QSet<const CadEntity *>> m_linkedColumns; // built on first use
    std::deque<CadEntity> m_allEntities; // owns every entity, attributes included (stable addresses)
    QList<CadEntity *> m_entities;
    std::vector<std::unique_ptr<CadBlock>> m_blocks;
    std::vector<std::unique_ptr<CadLayer>> m_layers;
    std::vector<std::unique_ptr<CadTextStyle>> m_styles;
    std::vector<std::unique_ptr<CadSelectionSet>> m_selectionSets;
    std::vector<std::unique_ptr<CadSelectionSet>> m_retiredSets; // deleted, kept for pointers still held
    DxfChunk *m_styleTable = nullptr;                            // the TABLE chunk of STYLE
    DxfChunk *m_handSeed = nullptr;                              // the HEADER chunk holding $HANDSEED
};

} // namespace tavlo::drawing
