#include "CadPanel.h"

#include "common/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Both frames share one grid of rows (in twips), so that member 0 and member 1 line up.
constexpr int kRowTop = 300;
constexpr int kRowPitch = 360;
constexpr int kRowHeight = 330;
constexpr int kLeft = 120;
constexpr int kLabelWidth = 900;
constexpr int kFieldLeft = kLeft + kLabelWidth + 60;
constexpr int kFieldWidth = 3840;
constexpr int kHalf = 2460;
constexpr int kButtonRow = 14;
constexpr int kButtonWidth = 1140;
constexpr int kButtonHeight = 420;

int rowTop(int row) {
    return kRowTop + row * kRowPitch;
}

QRect rowRect(int row, int left, int width) {
    return twipsRect(left, rowTop(row), width, kRowHeight);
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

    constexpr int kBoxLabel = 1260;
    constexpr int kBoxWidth = 1020;
    const int secondLabel = kLeft + kHalf;
    lblFromRow = label(fraPut, QStringLiteral("起始行号"), rowRect(10, kLeft, kBoxLabel),
                       QStringLiteral("lblFromRow"));
    txtFromRow = field(fraPut, QStringLiteral("1"), rowRect(10, kLeft + kBoxLabel, kBoxWidth),
                       QStringLiteral("txtFromRow"));
    lblToRow = label(fraPut, QStringLiteral("终止行号"), rowRect(10, secondLabel, kBoxLabel),
                     QStringLiteral("lblToRow"));
    txtToRow = field(fraPut, QStringLiteral("9"), rowRect(10, secondLabel + kBoxLabel, kBoxWidth),
                     QStringLiteral("txtToRow"));
    lblFromCol = label(fraPut, QStringLiteral("原始文字列号"), rowRect(11, kLeft, kBoxLabel),
                       QStringLiteral("lblFromCol"));
    txtFromCol = field(fraPut, QStringLiteral("C"), rowRect(11, kLeft + kBoxLabel, kBoxWidth),
                       QStringLiteral("txtFromCol"));
    lblToCol = label(fraPut, QStringLiteral("替换文字列号"), rowRect(11, secondLabel, kBoxLabel),
                     QStringLiteral("lblToCol"));
    txtToCol = field(fraPut, QStringLiteral("D"), rowRect(11, secondLabel + kBoxLabel, kBoxWidth),
                     QStringLiteral("txtToCol"));

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
