#include "CodeBuilder.h"

#include "BusyPointer.h"
#include "RequisitionPanel.h"

#include "common/modCommon.h"
#include "common/modCommonDialogs.h"
#include "common/modOffice.h"
#include "platform/sheet/Application.h"
#include "platform/sheet/Workbook.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

using tavlo::sheet::Workbook;

namespace {

QStringList itemsOf(const QComboBox *list) {
    QStringList items;
    items.reserve(list->count());
    for (int i = 0; i < list->count(); ++i)
        items.append(list->itemText(i));
    return items;
}

} // namespace

CodeBuilder::CodeBuilder(RequisitionPanel &panel, OfficeSlots &office, Context context, QObject *parent)
    : QObject(parent)
    , m_panel(panel)
    , m_office(office)
    , m_context(std::move(context)) {
    if (!m_context.chooseFile) {
        m_context.chooseFile = [](QWidget *owner, const QString &title, const QString &filter,
                                  const QString &folder, const QString &extension) {
            return modCommonDialogs::OpenOrSaveDialog(owner, 1, title, filter, folder, extension);
        };
    }
    connectLists();
    connect(&m_office, &OfficeSlots::excelSlotReleased, this, &CodeBuilder::onSlotReleased);
}

void CodeBuilder::onSlotReleased(int slot) {
    if (slot != kSlot || m_resetting || m_released || m_panel.comCategory->count() == 0)
        return;
    // The lists keep what they showed, greyed: nothing can be chosen from a workbook that is gone, and
    // nothing is filled or coded from them until a source is chosen again.
    m_released = true;
    setListsEnabled(false);
    tip(QStringLiteral("数据源“%1”已关闭：物料编码的列表已停用，请重新选择数据源")
            .arg(QFileInfo(m_sourcePath).fileName()));
}

void CodeBuilder::releaseDeadSource() {
    // A workbook closed under us: let the slot go now rather than at the watch's next tick, so the lists
    // say at once that they no longer follow it.
    const ExcelSlot *slot = m_office.excel(kSlot);
    if (slot->application || slot->workbook)
        m_office.CloseExcel(kSlot);
}

void CodeBuilder::setListsEnabled(bool enabled) {
    m_panel.comCategory->setEnabled(enabled);
    m_panel.comName->setEnabled(enabled);
    for (int i = 1; i <= MaterialCode::kParameterCount; ++i)
        m_panel.comParameter[i]->setEnabled(enabled);
    m_panel.txtCode->setEnabled(enabled);
}

QStringList CodeBuilder::selectionTexts() const {
    QStringList texts{m_panel.comCategory->currentText(), m_panel.comName->currentText()};
    for (int i = 1; i <= MaterialCode::kParameterCount; ++i)
        texts.append(m_panel.comParameter[i]->currentText());
    return texts;
}

void CodeBuilder::restoreSelection(const QStringList &texts) {
    QList<QComboBox *> lists{m_panel.comCategory, m_panel.comName};
    for (int i = 1; i <= MaterialCode::kParameterCount; ++i)
        lists.append(m_panel.comParameter[i]);
    for (int i = 0; i < lists.size() && i < texts.size(); ++i) {
        const int index = lists[i]->findText(texts[i], Qt::MatchExactly);
        if (index < 0)
            return;
        if (index != lists[i]->currentIndex())
            selectItem(lists[i], index);
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

void CodeBuilder::connectLists() {
    // A list changed by the user or by a caller setting its current item runs its handler.
    connect(m_panel.comCategory, &QComboBox::currentIndexChanged, this, [this] { comCategory_Click(); });
    connect(m_panel.comName, &QComboBox::currentIndexChanged, this, [this] { comName_Click(); });
    for (int i = 1; i <= MaterialCode::kParameterCount; ++i)
        connect(m_panel.comParameter[i], &QComboBox::currentIndexChanged, this,
                [this, i] { comParameter_Click(i); });
    connect(m_panel.cmdData, &QPushButton::clicked, this, &CodeBuilder::cmdData_Click);
}

void CodeBuilder::tip(const QString &text) const {
    if (m_context.setTip)
        m_context.setTip(text);
}

void CodeBuilder::cmdData_Click() {
    if (BusyPointer::isBusy())
        return;
    const QString filter =
        QStringLiteral("Excel 文件(*.xls;*.xlsx)|*.xls;*.xlsx") + u'|' + QStringLiteral("所有文件 (*.*)|*.*");
    // The folder of the last source, when it is still there; else the program's folder.
    const QString lastFolder = m_sourcePath.isEmpty() ? QString() : QFileInfo(m_sourcePath).absolutePath();
    const QString folder = !lastFolder.isEmpty() && QFileInfo(lastFolder).isDir() ? lastFolder
                           : m_context.programFolder                              ? m_context.programFolder()
                                                                                  : QDir::currentPath();
    const QString path = m_context.chooseFile(m_panel.panel()->window(), QStringLiteral("选择数据源"), filter,
                                              folder, QStringLiteral("xls"));
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
    modCommon::WaitMilliseconds(50);
    m_office.AttachExcel(kSlot, false, true);
    m_office.tmrExcel.start();
    ExcelSlot *slot = m_office.excel(kSlot);
    if (OfficeSlots::ObjectDead(slot->application))
        return;

    tip(QDir::toNativeSeparators(path));
    Workbook *book = slot->application->Workbooks().Open(path);
    if (!book) {
        const QString reason = slot->application ? slot->application->lastError() : QString();
        failSource();
        tip(QStringLiteral("%1：无法打开（%2）").arg(QDir::toNativeSeparators(path), reason));
        return;
    }
    slot->workbook = book;
    book->setSaved(true);

    const QStringList categories = workbook().categories();
    {
        const QSignalBlocker blocker(m_panel.comCategory);
        for (const QString &category : categories) {
            m_panel.comCategory->addItem(category);
            QCoreApplication::processEvents();
            if (!sourceAlive())
                return;
        }
    }
    if (m_panel.comCategory->count() > 0)
        selectItem(m_panel.comCategory, 0);
    if (!DataSourceValid()) {
        clearList(m_panel.comCategory);
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
    clearList(m_panel.comName);
    fillList(m_panel.comName, workbook().names(m_panel.comCategory->currentText()));
    if (m_panel.comName->count() > 0)
        selectItem(m_panel.comName, 0);
    if (!DataSourceValid()) {
        clearList(m_panel.comName);
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
    const QString category = m_panel.comCategory->currentText();
    const QString name = m_panel.comName->currentText();
    for (int i = 1; i <= MaterialCode::kParameterCount; ++i) {
        QStringList values;
        if (!book.parameters(i, category, name, &values)) {
            failSource();
            return;
        }
        fillList(m_panel.comParameter[i], values);
        if (!values.isEmpty())
            selectItem(m_panel.comParameter[i], 0);
    }
    if (!DataSourceValid()) {
        clearParameters();
        setCode(invalidSourceText());
    }
}

void CodeBuilder::comParameter_Click(int) {
    QString code = m_panel.comCategory->currentText().left(MaterialCode::kCategoryCodeWidth) +
                   m_panel.comName->currentText().left(MaterialCode::kItemCodeWidth);
    for (int i = 1; i <= MaterialCode::kParameterCount; ++i)
        code += m_panel.comParameter[i]->currentText().left(MaterialCode::kItemCodeWidth);
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
    if (m_panel.txtCode->text() != m_code)
        m_panel.txtCode->setText(m_code);
}

bool CodeBuilder::DataSourceValid() const {
    MaterialCode::ParameterLists parameters;
    for (int i = 1; i <= MaterialCode::kParameterCount; ++i)
        parameters[size_t(i - 1)] = itemsOf(m_panel.comParameter[i]);
    return MaterialCode::DataSourceValid(itemsOf(m_panel.comCategory), itemsOf(m_panel.comName), parameters);
}

void CodeBuilder::ResetCodeBuilder() {
    m_resetting = true;
    m_office.CloseExcel(kSlot);
    m_resetting = false;
    m_released = false;
    setListsEnabled(true);
    clearList(m_panel.comCategory);
    clearList(m_panel.comName);
    clearParameters();
    setCode(QString());
}

void CodeBuilder::failSource() {
    ResetCodeBuilder();
    setCode(invalidSourceText());
}

void CodeBuilder::clearParameters() {
    for (int i = 1; i <= MaterialCode::kParameterCount; ++i)
        clearList(m_panel.comParameter[i]);
}

void CodeBuilder::fillList(QComboBox *list, const QStringList &items) {
    const QSignalBlocker blocker(list);
    list->clear();
    list->addItems(items);
    list->setCurrentIndex(-1);
}

void CodeBuilder::selectItem(QComboBox *list, int index) {
    if (index < 0 || index >= list->count())
        return;
    {
        const QSignalBlocker blocker(list);
        list->setCurrentIndex(index);
    }
    if (list == m_panel.comCategory) {
        comCategory_Click();
    } else if (list == m_panel.comName) {
        comName_Click();
    } else {
        for (int i = 1; i <= MaterialCode::kParameterCount; ++i)
            if (list == m_panel.comParameter[i])
                comParameter_Click(i);
    }
}

bool CodeBuilder::sourceAlive() const {
    const ExcelSlot *slot = m_office.excel(kSlot);
    return !OfficeSlots::ObjectDead(slot->application) && !OfficeSlots::ObjectDead(slot->workbook);
}

MaterialCode::ParameterTexts CodeBuilder::parameterTexts() const {
    MaterialCode::ParameterTexts texts;
    for (int i = 1; i <= MaterialCode::kParameterCount; ++i)
        texts[size_t(i - 1)] = m_panel.comParameter[i]->currentText();
    return texts;
}

QString CodeBuilder::materialSpecText() const {
    return MaterialCode::MaterialSpecText(parameterTexts());
}
