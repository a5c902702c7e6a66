#include "CadConnection.h"

#include "CadPanel.h"

#include "common/BusyPointer.h"
#include "common/modOffice.h"
#include "platform/drawing/DrawingWindow.h"
#include "platform/sheet/Application.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cctype>

using namespace tavlo::drawing;

namespace {

// The number a version text begins with ("24.1s ..." -> 24.1), 0 when it begins with none.
double leadingNumber(const QString &text) {
    static const QRegularExpression number(QStringLiteral("^\\s*([0-9]+(\\.[0-9]*)?)"));
    const QRegularExpressionMatch match = number.match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
}

} // namespace

CadConnection::CadConnection(CadPanel &panel, ToolContext context, QObject *parent)
    : QObject(parent)
    , m_panel(panel)
    , m_context(std::move(context))
    , m_office(*m_context.office) {
    tmrAutoCAD.setInterval(500);
    connect(&tmrAutoCAD, &QTimer::timeout, this, &CadConnection::tmrAutoCAD_Timer);
    connect(&m_panel, &CadPanel::drawingClicked, this, &CadConnection::cmdDwgDocument_Click);
    connect(&m_panel, &CadPanel::interruptClicked, this, &CadConnection::cmdInterrupt_Click);
    connect(&m_panel, &CadPanel::insertClicked, this, &CadConnection::chkInsert_Click);
}

CadConnection::~CadConnection() = default;

bool CadConnection::isDwgFile(const QString &path) {
    if (QFileInfo(path).suffix().compare(QLatin1String("dwg"), Qt::CaseInsensitive) == 0)
        return true;
    // A DWG file begins with its version, "AC1015" and the like, in binary; a DXF file with group codes.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(6);
    return head.size() == 6 && head.startsWith("AC1") && std::isdigit(uchar(head[3])) &&
           std::isdigit(uchar(head[4])) && std::isdigit(uchar(head[5]));
}

QString CadConnection::dwgRefusal(const QString &path) {
    return QStringLiteral(
               "%1 是 Dwg 图纸，无法直接打开：请先在 CAD 程序中将它另存为 DXF 文件，再选择该 DXF 文件。")
        .arg(QFileInfo(path).fileName());
}

void CadConnection::cmdDwgDocument_Click(int index) {
    if (m_busy || index < 0 || index >= CadPanel::kFrameCount)
        return;
    const QString path = m_context.openFile(QStringLiteral("选择 Dwg 文件"), QString::fromUtf8(kDialogFilter),
                                            m_context.dataFolder, QStringLiteral("dxf"));
    if (path.isEmpty())
        return;
    openDrawing(index, path);
}

void CadConnection::openDrawing(int index, const QString &path) {
    if (m_busy || index < 0 || index >= CadPanel::kFrameCount)
        return;
    // No DWG reader exists here: the frame keeps what it had, and the user learns what to do.
    if (isDwgFile(path)) {
        m_context.tip(dwgRefusal(path));
        return;
    }
    const int owner = CadSlots::ownerOf(index);
    m_busy = true;
    const BusyPointer busy;
    const auto fail = [&](const QString &message) {
        cadSlots.ReleaseCad(owner);
        m_context.tip(message);
        m_busy = false;
    };

    m_context.tip(QStringLiteral("正在打开 Dwg 文件... ..."));
    cadSlots.AttachCad(owner, true);
    CadSlot &slot = *cadSlots.slot(owner);
    if (!slot.application)
        return fail(QStringLiteral("AutoCAD 未正确安装!"));
    CadApplication *application = slot.application;

    // A drawing already open is attached to, not opened a second time.
    const QString fullName = QFileInfo(path).absoluteFilePath();
    CadDocuments documents = application->Documents();
    CadDocument *document = nullptr;
    for (int i = 0; i < documents.Count() && !document; ++i) {
        if (CadDocument *open = documents.Item(i); open && open->FullName() == fullName)
            document = open;
    }
    if (!document)
        document = documents.Open(fullName);
    if (!document || !document->isAlive()) {
        return fail(QStringLiteral("无法打开 %1：%2")
                        .arg(QDir::toNativeSeparators(fullName), application->lastError().isEmpty()
                                                                     ? QStringLiteral("不是可读的 DXF 图纸。")
                                                                     : application->lastError()));
    }
    // The drawing itself, not the first one of the same file name: two folders may hold "plan.dxf".
    slot.document = document;
    document->Activate();
    slot.blocks = document->Blocks();
    tmrAutoCAD.start();
    m_context.tip(QDir::toNativeSeparators(document->FullName()) + QStringLiteral(" 打开。"));
    m_panel.setTableOffered(index, leadingNumber(application->Version().left(4)) > 16);
    fillLists(index, document);
    m_context.bringWindowToFront();
    m_busy = false;
}

void CadConnection::fillLists(int index, CadDocument *document) {
    m_panel.fillFilter(index, CadPanel::Scope,
                       {QStringLiteral("Scope Selected"), QStringLiteral("All Scopes")});
    m_panel.fillFilter(index, CadPanel::Form,
                       {QStringLiteral("Text"), QStringLiteral("MText"), QStringLiteral("All Texts")});
    QStringList layers;
    const CadLayers layerTable = document->Layers();
    for (int i = 0; i < layerTable.Count(); ++i) {
        if (const CadLayer *layer = layerTable.Item(i))
            layers.append(layer->Name());
    }
    layers.append(QStringLiteral("All Layers"));
    m_panel.fillFilter(index, CadPanel::Layer, layers);
    QStringList styles;
    CadTextStyles styleTable = document->TextStyles();
    for (int i = 0; i < styleTable.Count(); ++i) {
        if (const CadTextStyle *style = styleTable.Item(i))
            styles.append(style->Name());
    }
    styles.append(QStringLiteral("All Text Styles"));
    m_panel.fillFilter(index, CadPanel::Style, styles);
    m_panel.fillFilter(index, CadPanel::Color, modAutoCAD::colorNames());
}

void CadConnection::cmdInterrupt_Click(int index) {
    if (index < 0 || index >= CadPanel::kFrameCount)
        return;
    m_panel.clearFilters(index);
    const int owner = CadSlots::ownerOf(index);
    if (!cadSlots.slot(owner)->application)
        return;
    cadSlots.ReleaseCad(owner);
    const ExcelSlot *excel = m_office.excel(owner);
    if (!excel || !excel->application)
        return;
    m_office.CloseExcel(owner);
    m_context.highlightTip(false);
    m_context.tip(QString());
}

void CadConnection::tmrAutoCAD_Timer() {
    const bool extraction = cadSlots.AutoCAdBound(CadSlots::kExtraction);
    const bool replacement = cadSlots.AutoCAdBound(CadSlots::kReplacement);
    if (!extraction)
        cmdInterrupt_Click(0);
    if (!replacement)
        cmdInterrupt_Click(1);
    if (!extraction && !replacement)
        tmrAutoCAD.stop();
}

void CadConnection::chkInsert_Click(int index) {
    if (index >= 0 && index < CadPanel::kFrameCount)
        m_panel.setAttributeOffered(index, m_panel.containers(index).insert);
}

modAutoCAD::FilterChoice CadConnection::filterChoice(int index) const {
    modAutoCAD::FilterChoice choice;
    choice.form = m_panel.restriction(index, CadPanel::Form);
    choice.layer = m_panel.restriction(index, CadPanel::Layer);
    choice.style = m_panel.restriction(index, CadPanel::Style);
    choice.color = m_panel.restriction(index, CadPanel::Color);
    const CadPanel::Containers boxes = m_panel.containers(index);
    choice.containers = boxes.insert || boxes.table || boxes.attributeDefinition;
    return choice;
}

void CadConnection::BuildSelectionFilter(int index) {
    if (index < 0 || index >= CadPanel::kFrameCount)
        return;
    const modAutoCAD::SelectionFilter filter = modAutoCAD::BuildSelectionFilter(filterChoice(index));
    filterTypes = filter.filterTypes;
    filterData = filter.filterData;
}

CadSelectionSet *CadConnection::MakeSelection(int index) {
    if (m_busy || index < 0 || index >= CadPanel::kFrameCount)
        return nullptr;
    const int owner = CadSlots::ownerOf(index);
    CadSlot &slot = *cadSlots.slot(owner);
    if (!slot.document || !slot.document->isAlive())
        return nullptr;
    const QString name = CadSlots::selectionSetName(owner);
    CadSelectionSets sets = slot.document->SelectionSets();
    if (cadSlots.SelectionSetExists(owner, name)) {
        if (CadSelectionSet *old = sets.Item(name))
            old->Delete();
    }
    slot.selectionSet = sets.Add(name);
    if (!slot.selectionSet)
        return nullptr;
    slot.document->Activate();
    // Picking runs its own event loop: no command of this panel may start meanwhile.
    m_busy = true;
    if (m_panel.picksOnScreen(index))
        slot.selectionSet->SelectOnScreen(filterTypes, filterData);
    else
        slot.selectionSet->Select(CadSelectionSet::acSelectionSetAll, filterTypes, filterData);
    m_busy = false;
    if (owner == CadSlots::kExtraction) {
        const ExcelSlot *excel = m_office.excel(owner);
        if (excel && excel->application)
            excel->application->bringToFront();
    }
    m_context.bringWindowToFront();
    // The user may have closed the drawing or pressed the stop button while picking.
    return cadSlots.selectionSet(owner);
}

void CadConnection::ShowProgress(qint64 done, qint64 total) {
    m_context.highlightTip(true);
    m_context.tip(QString(modAutoCAD::ProgressBlocks(done, total), QChar(0x25A0)));
}

void CadConnection::FinishProgress(const QString &message) {
    m_context.tip(QString(modAutoCAD::kProgressWidth, QChar(0x25A0)));
    m_context.highlightTip(false);
    m_context.tip(message);
}

void CadConnection::ReleaseAll(bool askToSave) {
    tmrAutoCAD.stop();
    cadSlots.ReleaseCad(CadSlots::kExtraction);
    cadSlots.ReleaseCad(CadSlots::kReplacement);
    for (CadApplication *application : CadApplication::instances()) {
        if (askToSave)
            DrawingWindows::install(application)->askToSaveChanges();
        application->Quit();
    }
}
