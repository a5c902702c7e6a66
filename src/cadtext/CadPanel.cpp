#include "CadPanel.h"

#include "common/TwipsRows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Both frames share one grid of rows (in twips), so that member 0 and member 1 line up.
constexpr TwipsRows kRows{300, 360, 330};
constexpr int kLeft = 120;
constexpr int kLabelWidth = 900;
constexpr int kFieldLeft = kLeft + kLabelWidth + 60;
constexpr int kFieldWidth = 3840;
constexpr int kHalf = 2460;
constexpr int kButtonRow = 14;
constexpr int kButtonWidth = 1140;
constexpr int kButtonHeight = 420;

constexpr int rowTop(int row) {
    return kRows.rowTop(row);
}

constexpr QRect rowRect(int row, int left, int width) {
    return kRows.rect(row, left, width);
}

QRect buttonRect(int position) {
    return twipsRect(kLeft + position * (kButtonWidth + 90), rowTop(kButtonRow), kButtonWidth, kButtonHeight);
}

template <typename T> T *named(T *widget, const QString &name, int index = -1) {
    widget->setObjectName(index < 0 ? name : name + QString::number(index));
    return widget;
}

QLabel *label(QWidget *parent, const QString &text, const QRect &rect, const QString &name, int index = -1) {
    auto *result = named(new QLabel(text, parent), name, index);
    result->setGeometry(rect);
    return result;
}

QComboBox *list(QWidget *parent, const QRect &rect, const QString &name, int index) {
    auto *result = named(new QComboBox(parent), name, index);
    result->setGeometry(rect);
    return result;
}

QCheckBox *box(QWidget *parent, const QString &text, const QRect &rect, const QString &name, int index = -1) {
    auto *result = named(new QCheckBox(text, parent), name, index);
    result->setGeometry(rect);
    return result;
}

QPushButton *button(QWidget *parent, const QString &text, const QRect &rect, const QString &name,
                    int index = -1) {
    auto *result = named(new QPushButton(text, parent), name, index);
    result->setGeometry(rect);
    return result;
}

QLineEdit *field(QWidget *parent, const QString &text, const QRect &rect, const QString &name) {
    auto *result = named(new QLineEdit(text, parent), name);
    result->setGeometry(rect);
    return result;
}

} // namespace

CadPanel::CadPanel(QGroupBox *panel)
    : QObject(panel) {
    fraGet = named(new QGroupBox(QStringLiteral("提取文字"), panel), QStringLiteral("fraGet"));
    fraGet->setGeometry(twipsRect(120, 240, 5040, 5850));
    fraPut = named(new QGroupBox(QStringLiteral("替换文字"), panel), QStringLiteral("fraPut"));
    fraPut->setGeometry(twipsRect(5280, 240, 5085, 5850));
    for (int i = 0; i < kFrameCount; ++i)
        buildDrawingControls(i);
    buildExtraction();
    buildReplacement();
    connectButtons();
}

void CadPanel::connectButtons() {
    for (int i = 0; i < kFrameCount; ++i) {
        connect(cmdDwgDocument[i], &QPushButton::clicked, this, [this, i] { emit drawingClicked(i); });
        connect(cmdInterrupt[i], &QPushButton::clicked, this, [this, i] { emit interruptClicked(i); });
        connect(chkInsert[i], &QCheckBox::clicked, this, [this, i] { emit insertClicked(i); });
    }
    connect(cmdExtract, &QPushButton::clicked, this, &CadPanel::extractClicked);
    connect(cmdManuscript, &QPushButton::clicked, this, &CadPanel::manuscriptClicked);
    connect(comSheet, &QComboBox::activated, this, &CadPanel::sheetActivated);
    connect(cmdReplace, &QPushButton::clicked, this, &CadPanel::replaceClicked);
    for (int i = 0; i < int(cmdShiftChinese.size()); ++i)
        connect(cmdShiftChinese[i], &QPushButton::clicked, this, [this, i] { emit shiftChineseClicked(i); });
}

QComboBox *CadPanel::filterList(int index, Filter filter) const {
    const std::array<const PerFrame<QComboBox> *, kFilterCount> lists{&comScope, &comForm, &comLayer,
                                                                      &comStyleName, &comColor};
    return (*lists[size_t(filter)])[size_t(index)];
}

void CadPanel::fillFilter(int index, Filter filter, const QStringList &items) {
    QComboBox *list = filterList(index, filter);
    list->clear();
    list->addItems(items);
    list->setCurrentIndex(int(list->count()) - 1);
}

void CadPanel::clearFilters(int index) {
    for (int filter = 0; filter < kFilterCount; ++filter)
        filterList(index, Filter(filter))->clear();
}

QString CadPanel::restriction(int index, Filter filter) const {
    const QComboBox *list = filterList(index, filter);
    const int current = list->currentIndex();
    return current < 0 || current == list->count() - 1 ? QString() : list->currentText();
}

bool CadPanel::picksOnScreen(int index) const {
    return comScope[size_t(index)]->currentIndex() == 0;
}

CadPanel::Containers CadPanel::containers(int index) const {
    Containers boxes;
    boxes.insert = chkInsert[size_t(index)]->isChecked();
    boxes.attribute = chkAttribute[size_t(index)]->isChecked();
    boxes.table = chkTable[size_t(index)]->isChecked();
    boxes.tableOffered = chkTable[size_t(index)]->isEnabled();
    boxes.attributeDefinition = chkAttributeDefinition[size_t(index)]->isChecked();
    return boxes;
}

void CadPanel::setTableOffered(int index, bool offered) {
    chkTable[size_t(index)]->setEnabled(offered);
}

void CadPanel::setAttributeOffered(int index, bool offered) {
    chkAttribute[size_t(index)]->setEnabled(offered);
}

bool CadPanel::noDuplicate() const {
    return chkNoDuplicate->isChecked();
}

bool CadPanel::chineseOnly() const {
    return chkChineseOnly->isChecked();
}

bool CadPanel::convertFont() const {
    return chkConvertFont->isChecked();
}

bool CadPanel::matchWidth() const {
    return chkMatchWidth->isChecked();
}

void CadPanel::showSheets(const QStringList &names, int current) {
    comSheet->clear();
    comSheet->addItems(names);
    if (current >= 0)
        comSheet->setCurrentIndex(current);
}

QStringList CadPanel::sheetNames() const {
    QStringList names;
    for (int i = 0; i < comSheet->count(); ++i)
        names.append(comSheet->itemText(i));
    return names;
}

int CadPanel::currentSheet() const {
    return comSheet->currentIndex();
}

QString CadPanel::currentSheetName() const {
    return comSheet->currentText();
}

void CadPanel::chooseSheet(int position) {
    if (position >= 0 && position < comSheet->count())
        comSheet->setCurrentIndex(position);
}

void CadPanel::showToRow(int row) {
    txtToRow->setText(QString::number(row));
}

CadPanel::Range CadPanel::range() const {
    return {txtFromRow->text(), txtToRow->text(), txtFromCol->text(), txtToCol->text()};
}

void CadPanel::showColumnNumber(Field box, int number) {
    auto *edit = qobject_cast<QLineEdit *>(widgetOf(box));
    if (!edit)
        return;
    // The typed text waits in the tool tip.
    edit->setToolTip(edit->text());
    edit->setText(QString::number(number));
    m_numbered.append(edit);
}

void CadPanel::restoreColumns() {
    for (QLineEdit *edit : std::as_const(m_numbered)) {
        edit->setText(edit->toolTip());
        edit->setToolTip(QString());
    }
    m_numbered.clear();
}

QWidget *CadPanel::widgetOf(Field which) const {
    switch (which) {
    case Field::Drawing0:
        return cmdDwgDocument[0];
    case Field::Drawing1:
        return cmdDwgDocument[1];
    case Field::Manuscript:
        return cmdManuscript;
    case Field::FromRow:
        return txtFromRow;
    case Field::ToRow:
        return txtToRow;
    case Field::FromColumn:
        return txtFromCol;
    case Field::ToColumn:
        return txtToCol;
    }
    return nullptr;
}

void CadPanel::refuse(Field which) {
    QWidget *widget = widgetOf(which);
    widget->setFocus(Qt::OtherFocusReason);
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->selectAll();
}

void CadPanel::buildDrawingControls(int i) {
    QGroupBox *parent = frame(i);
    cmdDwgDocument[i] =
        button(parent, QStringLiteral("选择 Dwg 文件"), twipsRect(kLeft, rowTop(0) - 30, 1500, 390),
               QStringLiteral("cmdDwgDocument"), i);
    LabAutoCAD[i] = label(parent, QStringLiteral("Dwg 文件"), rowRect(0, kLeft + 1620, 3180),
                          QStringLiteral("LabAutoCAD"), i);

    struct Filter {
        QString caption;
        const char *labelName;
        const char *listName;
        PerFrame<QLabel> *label;
        PerFrame<QComboBox> *list;
    };
    const std::array<Filter, 5> filters{{
        {QStringLiteral("执行范围"), "LabScope", "comScope", &LabScope, &comScope},
        {QStringLiteral("文字形态"), "LabForm", "comForm", &LabForm, &comForm},
        {QStringLiteral("文字图层"), "LabLayer", "comLayer", &LabLayer, &comLayer},
        {QStringLiteral("文字样式"), "LabStyle", "comStyleName", &LabStyle, &comStyleName},
        {QStringLiteral("文字颜色"), "LabColor", "comColor", &LabColor, &comColor},
    }};
    for (int f = 0; f < int(filters.size()); ++f) {
        const int row = 1 + f;
        (*filters[f].label)[i] = label(parent, filters[f].caption, rowRect(row, kLeft, kLabelWidth),
                                       QLatin1String(filters[f].labelName), i);
        (*filters[f].list)[i] =
            list(parent, rowRect(row, kFieldLeft, kFieldWidth), QLatin1String(filters[f].listName), i);
    }

    chkInsert[i] = box(parent, QStringLiteral("包含块内文字"), rowRect(6, kLeft, kHalf - 60),
                       QStringLiteral("chkInsert"), i);
    chkAttribute[i] = box(parent, QStringLiteral("包含块的属性"), rowRect(6, kLeft + kHalf, kHalf),
                          QStringLiteral("chkAttribute"), i);
    // Attributes belong to block references: offered only while texts inside blocks are included.
    chkAttribute[i]->setEnabled(false);
    chkTable[i] = box(parent, QStringLiteral("包含表内文字"), rowRect(7, kLeft, kHalf - 60),
                      QStringLiteral("chkTable"), i);
    chkAttributeDefinition[i] =
        box(parent, QStringLiteral("包含属性定义内的文字"), rowRect(7, kLeft + kHalf, kHalf),
            QStringLiteral("chkAttributeDefinition"), i);
    cmdInterrupt[i] =
        button(parent, QStringLiteral("中止 / 完毕"), buttonRect(3), QStringLiteral("cmdInterrupt"), i);
}

void CadPanel::buildExtraction() {
    chkNoDuplicate = box(fraGet, QStringLiteral("不重复提取相同内容的单行文字"), rowRect(8, kLeft, 4800),
                         QStringLiteral("chkNoDuplicate"));
    chkChineseOnly = box(fraGet, QStringLiteral("仅限于包含中文的文字"), rowRect(9, kLeft, 4800),
                         QStringLiteral("chkChineseOnly"));
    cmdExtract = button(fraGet, QStringLiteral("提取"), buttonRect(0), QStringLiteral("cmdExtract"));
}

void CadPanel::buildReplacement() {
    cmdManuscript = button(fraPut, QStringLiteral("选择文稿文件"),
                           twipsRect(kLeft, rowTop(8) - 30, 1500, 390), QStringLiteral("cmdManuscript"));
    lblManuscript = label(fraPut, QStringLiteral("文稿文件"), rowRect(8, kLeft + 1620, 3180),
                          QStringLiteral("lblManuscript"));
    lblSheet =
        label(fraPut, QStringLiteral("工作表"), rowRect(9, kLeft, kLabelWidth), QStringLiteral("lblSheet"));
    comSheet = list(fraPut, rowRect(9, kFieldLeft, kFieldWidth), QStringLiteral("comSheet"), -1);

    // Four labelled boxes, two to a row: rows first, then columns.
    struct Box {
        QString caption;
        const char *name; // the box's; its label's begins with "lbl" instead of "txt"
        QString text;
        QLabel **label;
        QLineEdit **field;
    };
    const std::array<Box, 4> boxes{{
        {QStringLiteral("起始行号"), "FromRow", QStringLiteral("1"), &lblFromRow, &txtFromRow},
        {QStringLiteral("终止行号"), "ToRow", QStringLiteral("9"), &lblToRow, &txtToRow},
        {QStringLiteral("原始文字列号"), "FromCol", QStringLiteral("C"), &lblFromCol, &txtFromCol},
        {QStringLiteral("替换文字列号"), "ToCol", QStringLiteral("D"), &lblToCol, &txtToCol},
    }};
    constexpr int kBoxLabel = 1260;
    constexpr int kBoxWidth = 1020;
    for (int b = 0; b < int(boxes.size()); ++b) {
        const int row = 10 + b / 2;
        const int left = b % 2 == 0 ? kLeft : kLeft + kHalf;
        const QString name = QLatin1String(boxes[b].name);
        *boxes[b].label =
            label(fraPut, boxes[b].caption, rowRect(row, left, kBoxLabel), QStringLiteral("lbl") + name);
        *boxes[b].field = field(fraPut, boxes[b].text, rowRect(row, left + kBoxLabel, kBoxWidth),
                                QStringLiteral("txt") + name);
    }

    chkConvertFont = box(fraPut, QStringLiteral("根据替换文字的语种自动转换字型"), rowRect(12, kLeft, 4800),
                         QStringLiteral("chkConvertFont"));
    chkMatchWidth = box(fraPut, QStringLiteral("保持单行文字占位宽度一致"), rowRect(13, kLeft, 4800),
                        QStringLiteral("chkMatchWidth"));
    cmdReplace = button(fraPut, QStringLiteral("替换"), buttonRect(0), QStringLiteral("cmdReplace"));
    cmdShiftChinese[0] =
        button(fraPut, QStringLiteral("繁转简"), buttonRect(1), QStringLiteral("cmdShiftChinese"), 0);
    cmdShiftChinese[1] =
        button(fraPut, QStringLiteral("简转繁"), buttonRect(2), QStringLiteral("cmdShiftChinese"), 1);
}
