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
    const QString folder = m_context.programFolder ? m_context.programFolder() : QDir::currentPath();
    const QString path = m_context.chooseFile(m_panel.panel()->window(), QStringLiteral("选择数据源"), filter,
                                              folder, QStringLiteral("xls"));
    if (path.isEmpty())
        return;
    openDataSource(path);
}

void CodeBuilder::openDataSource(const QString &path) {
    BusyPointer busy;
    ResetCodeBuilder();
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
    }
}

void CodeBuilder::comCategory_Click() {
    if (!sourceAlive())
        return;
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
    if (!sourceAlive())
        return;
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
    m_office.CloseExcel(kSlot);
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
