#include "DrawingWindow.h"

#include "CadApplication.h"
#include "CadDocument.h"
#include "DrawingView.h"
#include "SelectionFilter.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>

namespace tavlo::drawing {

namespace {

const QString kDxfFilter = QStringLiteral("DXF 图形 (*.dxf)");

const QString kPickPrompt = QStringLiteral("选择对象：单击选取，从左向右框选（窗口）或从右向左框选（交叉），"
                                           "Shift 加单击取消选取；回车或右键确认，Esc 取消。");

} // namespace

DrawingWindow::DrawingWindow(CadDocument *document, QWidget *parent)
    : QMainWindow(parent)
    , m_document(document) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = new DrawingView(this);
    setCentralWidget(m_view);
    buildActions();
    resize(1000, 720);

    askReplaceBackup = [this](const QString &backup) {
        return QMessageBox::question(
                   this, windowTitle(),
                   QStringLiteral("备份文件 %1 已经存在。\n用当前磁盘上的图纸替换这个备份吗？")
                       .arg(QDir::toNativeSeparators(backup))) == QMessageBox::Yes;
    };
    askSaveAsInstead = [this](const QString &path) {
        return QMessageBox::question(this, windowTitle(),
                                     QStringLiteral("图纸 %1 是只读文件，不能覆盖。\n另存为其他文件吗？")
                                         .arg(QDir::toNativeSeparators(path))) == QMessageBox::Yes;
    };
    chooseSaveAsPath = [this](const QString &suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("另存为"), suggested, kDxfFilter);
    };
    askSaveChanges = [this](const QString &name, bool allowCancel) {
        QMessageBox::StandardButtons buttons = QMessageBox::Save | QMessageBox::Discard;
        if (allowCancel)
            buttons |= QMessageBox::Cancel;
        return int(QMessageBox::question(this, windowTitle(),
                                         QStringLiteral("图纸 %1 已被修改，保存修改吗？").arg(name), buttons,
                                         QMessageBox::Save));
    };

    rebuild();
    updateTitle();
    connect(document, &CadDocument::changed, this, &DrawingWindow::rebuild);
    connect(document, &CadDocument::savedChanged, this, &DrawingWindow::updateTitle);
    connect(document, &CadDocument::closed, this, [this] {
        // Closed elsewhere (or by this window): the window goes with it.
        if (m_view->isPicking())
            m_view->finishPicking(false);
        m_closingDrawing = true;
        close();
    });
    connect(m_view, &DrawingView::pickedChanged, this, [this](int count) {
        statusBar()->showMessage(kPickPrompt + QStringLiteral("  已选 %1 个。").arg(count));
    });
}

DrawingWindow::~DrawingWindow() = default;

void DrawingWindow::buildActions() {
    actSave = new QAction(QStringLiteral("保存(&S)"), this);
    actSave->setShortcut(QKeySequence::Save);
    actSaveAs = new QAction(QStringLiteral("另存为(&A)…"), this);
    actSaveAs->setShortcut(QKeySequence::SaveAs);
    actZoomExtents = new QAction(QStringLiteral("缩放到全图(&E)"), this);
    actZoomExtents->setShortcut(Qt::Key_Home);
    actClose = new QAction(QStringLiteral("关闭(&C)"), this);
    actClose->setShortcut(QKeySequence::Close);
    connect(actSave, &QAction::triggered, this, &DrawingWindow::save);
    connect(actSaveAs, &QAction::triggered, this, &DrawingWindow::saveAsDialog);
    connect(actZoomExtents, &QAction::triggered, m_view, &DrawingView::zoomExtents);
    connect(actClose, &QAction::triggered, this, &QWidget::close);

    QMenu *file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    file->addAction(actSave);
    file->addAction(actSaveAs);
    file->addSeparator();
    file->addAction(actClose);
    QMenu *view = menuBar()->addMenu(QStringLiteral("视图(&V)"));
    view->addAction(actZoomExtents);
    QToolBar *bar = addToolBar(QStringLiteral("图纸"));
    bar->setMovable(false);
    bar->addAction(actSave);
    bar->addAction(actSaveAs);
    bar->addSeparator();
    bar->addAction(actZoomExtents);
    statusBar()->showMessage(QStringLiteral("中键或左键拖动平移，滚轮缩放，Home 缩放到全图。"));
}

void DrawingWindow::rebuild() {
    if (!m_document)
        return;
    if (!m_view->scene()) {
        m_scene.build(*m_document);
        m_view->setScene(&m_scene);
        return;
    }
    // Only what changed is laid out again: a walk over a large drawing ends in one short update.
    const CadDocument::ViewChanges &changes = m_document->viewChanges();
    if (changes.everything)
        m_scene.build(*m_document);
    else
        m_scene.update(*m_document, changes.entities, changes.stringsOnly);
    m_view->update();
}

void DrawingWindow::updateTitle() {
    if (!m_document)
        return;
    setWindowTitle(m_document->Name() + (m_document->isReadOnly() ? QStringLiteral(" [只读]") : QString()) +
                   (m_document->Saved() ? QString() : QStringLiteral(" *")) + QStringLiteral(" - DXF 图形"));
}

void DrawingWindow::report(const QString &text) {
    statusBar()->showMessage(text);
}

bool DrawingWindow::isPicking() const {
    return m_view->isPicking();
}

QList<CadEntity *> DrawingWindow::pickOnScreen(const SelectionFilter &filter, bool *accepted) {
    *accepted = false;
    if (!m_document || !m_document->isAlive() || m_view->isPicking())
        return {};
    showNormal();
    raise();
    activateWindow();
    m_view->beginPicking([&filter](const CadEntity *entity) { return entity && filter.matches(*entity); });
    report(kPickPrompt);

    QPointer<DrawingWindow> self(this);
    bool confirmed = false;
    QEventLoop loop;
    connect(m_view, &DrawingView::pickingFinished, &loop, [&](bool ok) {
        confirmed = ok;
        loop.quit();
    });
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
    if (!self)
        return {};
    const QList<CadEntity *> picked = confirmed ? m_view->picked() : QList<CadEntity *>();
    report(confirmed ? QStringLiteral("已选 %1 个对象。").arg(picked.size())
                     : QStringLiteral("选择已取消。"));
    *accepted = confirmed;
    return picked;
}

bool DrawingWindow::save() {
    if (!m_document)
        return false;
    if (m_document->isReadOnly()) {
        const QString path = m_document->FullName();
        report(QStringLiteral("未保存：图纸 %1 是只读文件。").arg(QDir::toNativeSeparators(path)));
        return askSaveAsInstead && askSaveAsInstead(path) && saveAsDialog();
    }
    bool saved = m_document->Save(false);
    if (!saved && m_document->backupExists()) {
        const QString backup = QDir::toNativeSeparators(m_document->backupPath());
        if (!askReplaceBackup || !askReplaceBackup(m_document->backupPath())) {
            report(QStringLiteral("未保存：备份文件 %1 已经存在。").arg(backup));
            return false;
        }
        saved = m_document->Save(true);
    }
    if (!saved) {
        const QString reason = m_document->lastError();
        report(QStringLiteral("未保存：%1").arg(reason));
        return false;
    }
    report(QStringLiteral("已保存到 %1（原图纸备份为 %2）。")
               .arg(QDir::toNativeSeparators(m_document->FullName()),
                    QDir::toNativeSeparators(m_document->backupPath())));
    return true;
}

bool DrawingWindow::saveAsDialog() {
    if (!m_document)
        return false;
    QString path = chooseSaveAsPath ? chooseSaveAsPath(m_document->FullName()) : QString();
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().compare(QLatin1String("dxf"), Qt::CaseInsensitive) != 0)
        path += QStringLiteral(".dxf");
    return saveTo(path);
}

bool DrawingWindow::saveTo(const QString &path) {
    if (!m_document)
        return false;
    if (!m_document->SaveAs(path)) {
        report(QStringLiteral("未保存：%1").arg(m_document->lastError()));
        return false;
    }
    updateTitle();
    report(QStringLiteral("已另存为 %1。").arg(QDir::toNativeSeparators(m_document->FullName())));
    return true;
}

bool DrawingWindow::askToSave(bool allowCancel) {
    if (!m_document || !m_document->isAlive() || m_document->Saved())
        return true;
    const int answer =
        askSaveChanges ? askSaveChanges(m_document->Name(), allowCancel) : QMessageBox::Discard;
    if (answer == QMessageBox::Save)
        return save();
    return answer == QMessageBox::Discard;
}

void DrawingWindow::closeEvent(QCloseEvent *event) {
    if (!m_closingDrawing && !askToSave(true)) {
        event->ignore();
        return;
    }
    if (m_view->isPicking())
        m_view->finishPicking(false);
    m_closingDrawing = true;
    event->accept();
    // Closing the window closes the drawing, as closing it in a CAD program would.
    if (m_document)
        m_document->Close();
}

DrawingWindows *DrawingWindows::install(CadApplication *application) {
    if (!application)
        return nullptr;
    if (auto *existing = application->findChild<DrawingWindows *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new DrawingWindows(application);
}

DrawingWindows::DrawingWindows(CadApplication *application)
    : QObject(application)
    , m_application(application) {
    connect(application, &CadApplication::visibleChanged, this, &DrawingWindows::showAll);
    connect(application, &CadApplication::documentOpened, this, [this](CadDocument *document) {
        if (m_application->Visible())
            ensureWindow(document)->show();
    });
    connect(application, &CadApplication::activationRequested, this, [this](CadDocument *document) {
        if (!m_application->Visible())
            return;
        DrawingWindow *window = ensureWindow(document);
        window->showNormal();
        window->raise();
        window->activateWindow();
    });
    application->setScreenPicker(
        [this](CadDocument *document, const SelectionFilter &filter, bool *accepted) {
            *accepted = false;
            if (!document || !document->isAlive())
                return QList<CadEntity *>();
            return ensureWindow(document)->pickOnScreen(filter, accepted);
        });
    showAll(application->Visible());
}

DrawingWindow *DrawingWindows::windowOf(const CadDocument *document) const {
    for (const QPointer<DrawingWindow> &window : m_windows) {
        if (window && window->document() == document)
            return window;
    }
    return nullptr;
}

void DrawingWindows::askToSaveChanges() {
    const QList<QPointer<DrawingWindow>> windows = m_windows;
    for (const QPointer<DrawingWindow> &window : windows) {
        if (window && window->isVisible())
            window->askToSave(false);
    }
}

DrawingWindow *DrawingWindows::ensureWindow(CadDocument *document) {
    if (DrawingWindow *window = windowOf(document))
        return window;
    m_windows.removeAll(nullptr);
    auto *window = new DrawingWindow(document);
    m_windows.append(window);
    return window;
}

void DrawingWindows::showAll(bool visible) {
    if (!visible) {
        for (const QPointer<DrawingWindow> &window : std::as_const(m_windows)) {
            if (window)
                window->hide();
        }
        return;
    }
    for (CadDocument *document : m_application->documentList())
        ensureWindow(document)->show();
}

} // namespace tavlo::drawing
