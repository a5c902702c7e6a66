#include "CodeBuilder.h"

#include "RequisitionPanel.h"

#include "common/BusyPointer.h"
#include "common/modOffice.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using tavlo::sheet::Workbook;

namespace {
using Lists = RequisitionPanel;
constexpr int kParameterCount = MaterialCode::kParameterCount;
} // namespace

CodeBuilder::CodeBuilder(RequisitionPanel &panel, ToolContext context, QObject *parent)
    : QObject(parent)
    , m_panel(panel)
    , m_context(std::move(context))
    , m_office(*m_context.office) {
    connectPanel();
    connect(&m_office, &OfficeSlots::excelSlotReleased, this, &CodeBuilder::onSlotReleased);
}

void CodeBuilder::onSlotReleased(int slot) {
    if (slot != kSlot || m_resetting || m_released || m_panel.count(Lists::kCategory) == 0)
        return;
    // The lists keep what they showed, greyed: nothing can be chosen from a workbook that is gone, and
    // nothing is filled or coded from them until a source is chosen again.
    m_released = true;
    m_panel.setListsEnabled(false);
    m_context.tip(QStringLiteral("数据源“%1”已关闭：物料编码的列表已停用，请重新选择数据源")
                      .arg(QFileInfo(m_sourcePath).fileName()));
}

void CodeBuilder::releaseDeadSource() {
    // A workbook closed under us: let the slot go now rather than at the watch's next tick, so the lists
    // say at once that they no longer follow it.
    const ExcelSlot *slot = m_office.excel(kSlot);
    if (slot->application || slot->workbook)
        m_office.CloseExcel(kSlot);
}

QStringList CodeBuilder::selectionTexts() const {
    QStringList texts;
    for (int which = 0; which < Lists::kListCount; ++which)
        texts.append(m_panel.currentText(which));
    return texts;
}

void CodeBuilder::restoreSelection(const QStringList &texts) {
    for (int which = 0; which < Lists::kListCount && which < texts.size(); ++which) {
        const int index = int(m_panel.items(which).indexOf(texts[which]));
        if (index < 0)
            return;
        if (index != m_panel.currentIndex(which))
            selectItem(which, index);
    }
}

QString CodeBuilder::sourceProblem() const {
    const QString name = QFileInfo(m_sourcePath).fileName();
    if (m_released)
        return QStringLiteral("数据源“%1”已关闭，请重新选择数据源").arg(name);
    if (!sourceAlive())
        return m_code == invalidSourceText() && !name.isEmpty()
                   ? QStringLiteral("数据源“%1”无效或已受损，请选择另一个数据源").arg(name)
                   : QStringLiteral("尚未选择数据源，请先按“选择数据源”");
    if (!DataSourceValid())
        return QStringLiteral("数据源“%1”无效或已受损，请选择另一个数据源").arg(name);
    return {};
}

QString CodeBuilder::fillProblem() const {
    const QString problem = sourceProblem();
    if (!problem.isEmpty())
        return problem;
    if (!CodeValid())
        return QStringLiteral("物料编码“%1”无效：须为 16 个字母或数字，请检查所选各项").arg(m_code);
    return {};
}

void CodeBuilder::connectPanel() {
    // A list changed by the user or by a caller setting its current item runs its handler.
    connect(&m_panel, &RequisitionPanel::listChosen, this, &CodeBuilder::listClicked);
    connect(&m_panel, &RequisitionPanel::dataClicked, this, &CodeBuilder::cmdData_Click);
}

void CodeBuilder::cmdData_Click() {
    if (BusyPointer::isBusy())
        return;
    const QString filter =
        QStringLiteral("Excel 文件(*.xls;*.xlsx)|*.xls;*.xlsx") + u'|' + QStringLiteral("所有文件 (*.*)|*.*");
    // The folder of the last source, when it is still there; else the program's folder.
    const QString lastFolder = m_sourcePath.isEmpty() ? QString() : QFileInfo(m_sourcePath).absolutePath();
    const QString folder = !lastFolder.isEmpty() && QFileInfo(lastFolder).isDir() ? lastFolder
                           : !m_context.dataFolder.isEmpty()                      ? m_context.dataFolder
                                                                                  : QDir::currentPath();
    const QString path =
        m_context.openFile(QStringLiteral("选择数据源"), filter, folder, QStringLiteral("xls"));
    if (path.isEmpty())
        return;
    openDataSource(path);
}

void CodeBuilder::openDataSource(const QString &path) {
    BusyPointer busy;
    // Choosing the released source again brings back what it showed.
    const QStringList before =
        m_released && QFileInfo(path) == QFileInfo(m_sourcePath) ? selectionTexts() : QStringList();
    ResetCodeBuilder();
    m_sourcePath = path;
    // A new instance every time: nothing of the one just released needs to be waited for.
    m_office.AttachExcel(kSlot, false, true);
    m_office.tmrExcel.start();
    ExcelSlot *slot = m_office.excel(kSlot);
    if (OfficeSlots::ObjectDead(slot->application))
        return;

    m_context.tip(QDir::toNativeSeparators(path));
    Workbook *book = slot->application->Workbooks().Open(path);
    if (!book) {
        const QString reason = slot->application ? slot->application->lastError() : QString();
        failSource();
        m_context.tip(QStringLiteral("%1：无法打开（%2）").arg(QDir::toNativeSeparators(path), reason));
        return;
    }
    slot->workbook = book;
    book->setSaved(true);

    const QStringList categories = workbook().categories();
    for (const QString &category : categories) {
        m_panel.addItem(Lists::kCategory, category);
        QCoreApplication::processEvents();
        if (!sourceAlive())
            return;
    }
    if (m_panel.count(Lists::kCategory) > 0)
        selectItem(Lists::kCategory, 0);
    if (!DataSourceValid()) {
        m_panel.setItems(Lists::kCategory, {});
        setCode(invalidSourceText());
        return;
    }
    if (!before.isEmpty())
        restoreSelection(before);
}

void CodeBuilder::comCategory_Click() {
    if (!sourceAlive()) {
        releaseDeadSource();
        return;
    }
    BusyPointer busy;
    m_panel.setItems(Lists::kName, workbook().names(m_panel.currentText(Lists::kCategory)));
    if (m_panel.count(Lists::kName) > 0)
        selectItem(Lists::kName, 0);
    if (!DataSourceValid()) {
        m_panel.setItems(Lists::kName, {});
        setCode(invalidSourceText());
    }
}

void CodeBuilder::comName_Click() {
    if (!sourceAlive()) {
        releaseDeadSource();
        return;
    }
    BusyPointer busy;
    const CodingWorkbook book = workbook();
    const QString category = m_panel.currentText(Lists::kCategory);
    const QString name = m_panel.currentText(Lists::kName);
    for (int i = 1; i <= kParameterCount; ++i) {
        QStringList values;
        if (!book.parameters(i, category, name, &values)) {
            failSource();
            return;
        }
        m_panel.setItems(Lists::parameterList(i), values);
        if (!values.isEmpty())
            selectItem(Lists::parameterList(i), 0);
    }
    if (!DataSourceValid()) {
        clearParameters();
        setCode(invalidSourceText());
    }
}

void CodeBuilder::comParameter_Click(int) {
    QString code = m_panel.currentText(Lists::kCategory).left(MaterialCode::kCategoryCodeWidth) +
                   m_panel.currentText(Lists::kName).left(MaterialCode::kItemCodeWidth);
    for (int i = 1; i <= kParameterCount; ++i)
        code += m_panel.currentText(Lists::parameterList(i)).left(MaterialCode::kItemCodeWidth);
    setCode(code);
}

bool CodeBuilder::CodeValid() const {
    return MaterialCode::CodeValid(m_code);
}

void CodeBuilder::setCode(const QString &text) {
    m_code = text;
    if (!m_holdDisplay)
        showCode();
}

void CodeBuilder::holdCodeDisplay(bool hold) {
    m_holdDisplay = hold;
    if (!hold)
        showCode();
}

void CodeBuilder::showCode() {
    m_panel.showCode(m_code);
}

bool CodeBuilder::DataSourceValid() const {
    MaterialCode::ParameterLists parameters;
    for (int i = 1; i <= kParameterCount; ++i)
        parameters[size_t(i - 1)] = m_panel.items(Lists::parameterList(i));
    return MaterialCode::DataSourceValid(m_panel.items(Lists::kCategory), m_panel.items(Lists::kName),
                                         parameters);
}

void CodeBuilder::ResetCodeBuilder() {
    m_resetting = true;
    m_office.CloseExcel(kSlot);
    m_resetting = false;
    m_released = false;
    m_panel.setListsEnabled(true);
    m_panel.setItems(Lists::kCategory, {});
    m_panel.setItems(Lists::kName, {});
    clearParameters();
    setCode(QString());
}

void CodeBuilder::failSource() {
    ResetCodeBuilder();
    setCode(invalidSourceText());
}

void CodeBuilder::clearParameters() {
    for (int i = 1; i <= kParameterCount; ++i)
        m_panel.setItems(Lists::parameterList(i), {});
}

void CodeBuilder::selectItem(int list, int index) {
    if (list < 0 || list >= Lists::kListCount || index < 0 || index >= m_panel.count(list))
        return;
    m_panel.choose(list, index);
    listClicked(list);
}

void CodeBuilder::listClicked(int list) {
    if (list == Lists::kCategory)
        comCategory_Click();
    else if (list == Lists::kName)
        comName_Click();
    else
        comParameter_Click(list - Lists::kParameter0);
}

void CodeBuilder::selectItem(const QComboBox *list, int index) {
    selectItem(m_panel.listOf(list), index);
}

bool CodeBuilder::sourceAlive() const {
    const ExcelSlot *slot = m_office.excel(kSlot);
    return !OfficeSlots::ObjectDead(slot->application) && !OfficeSlots::ObjectDead(slot->workbook);
}

MaterialCode::ParameterTexts CodeBuilder::parameterTexts() const {
    MaterialCode::ParameterTexts texts;
    for (int i = 1; i <= kParameterCount; ++i)
        texts[size_t(i - 1)] = m_panel.currentText(Lists::parameterList(i));
    return texts;
}

QString CodeBuilder::materialSpecText() const {
    return MaterialCode::MaterialSpecText(parameterTexts());
}
