#include "CadApplication.h"

#include <QFileInfo>

namespace tavlo::drawing {

int CadDocuments::Count() const {
    return m_application->isAlive() ? int(m_application->documentList().size()) : 0;
}

CadDocument *CadDocuments::Item(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return m_application->documentList()[index];
}

CadDocument *CadDocuments::Item(const QString &name) const {
    if (!m_application->isAlive())
        return nullptr;
    for (CadDocument *d : m_application->documentList())
        if (d->Name().compare(name, Qt::CaseInsensitive) == 0)
            return d;
    const QString full = QFileInfo(name).absoluteFilePath();
    for (CadDocument *d : m_application->documentList())
        if (d->FullName() == full)
            return d;
    return nullptr;
}

CadDocument *CadDocuments::Open(const QString &path) {
    return m_application->open(path);
}

CadApplication::CadApplication() = default;

CadApplication::~CadApplication() {
    for (auto &d : m_all)
        d->m_application = nullptr;
}

CadApplication *CadApplication::create() {
    return new CadApplication;
}

CadApplication *CadApplication::running() {
    return firstRunningOf<CadApplication>();
}

QList<CadApplication *> CadApplication::instances() {
    return runningOf<CadApplication>();
}

QString CadApplication::Caption() const {
    const QString base = QStringLiteral("DXF 图形");
    return m_active ? base + QStringLiteral(" - [") + m_active->Name() + QLatin1Char(']') : base;
}

QString CadApplication::Version() const {
    return QStringLiteral("24.1s (DXF R12-R2018)");
}

CadDocument *CadApplication::open(const QString &path) {
    m_lastError.clear();
    if (!isAlive()) {
        m_lastError = QStringLiteral("程序已退出。");
        return nullptr;
    }
    const QString full = QFileInfo(path).absoluteFilePath();
    for (CadDocument *d : m_open)
        if (d->FullName() == full) {
            activate(d);
            return d;
        }
    QString error;
    std::unique_ptr<CadDocument> document = CadDocument::load(full, &error);
    if (!document) {
        m_lastError = error;
        return nullptr;
    }
    document->m_application = this;
    CadDocument *raw = document.get();
    m_all.push_back(std::move(document));
    m_open.append(raw);
    emit documentOpened(raw);
    activate(raw);
    return raw;
}

void CadApplication::activate(CadDocument *document) {
    if (!m_open.contains(document))
        return;
    if (m_active != document) {
        m_active = document;
        emit activeDocumentChanged(document);
    }
    emit activationRequested(document);
}

void CadApplication::forget(CadDocument *document) {
    m_open.removeAll(document);
    if (m_active == document) {
        m_active = m_open.isEmpty() ? nullptr : m_open.back();
        emit activeDocumentChanged(m_active);
    }
    emit documentClosed(document);
}

void CadApplication::closeEverything() {
    const QList<CadDocument *> open = m_open;
    for (CadDocument *d : open)
        d->Close();
}

} // namespace tavlo::drawing
