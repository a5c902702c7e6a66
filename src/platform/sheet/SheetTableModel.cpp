#include "SheetTableModel.h"

#include "CellAddress.h"
#include "Worksheet.h"

namespace tavlo::sheet {

namespace {
constexpr int kMinRows = 100;
constexpr int kMinColumns = 26;
constexpr int kSpareRows = 50;
constexpr int kSpareColumns = 5;
} // namespace

SheetTableModel::SheetTableModel(Worksheet *sheet, QObject *parent)
    : QAbstractTableModel(parent)
    , m_sheet(sheet) {
    const UsedRangeInfo used = sheet->UsedRange();
    m_rows = std::min(kMaxRows, std::max(kMinRows, used.lastRow() + kSpareRows));
    m_columns = std::min(kMaxColumns, std::max(kMinColumns, used.lastColumn() + kSpareColumns));
    connect(sheet, &Worksheet::cellsChanged, this, &SheetTableModel::onCellsChanged);
}

int SheetTableModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int SheetTableModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QVariant SheetTableModel::data(const QModelIndex &index, int role) const {
    if (!m_sheet || !index.isValid())
        return {};
    const int row = index.row() + 1;
    const int column = index.column() + 1;
    switch (role) {
    case Qt::DisplayRole:
        return m_sheet->text(row, column);
    case Qt::EditRole:
        return m_sheet->value(row, column);
    case Qt::TextAlignmentRole:
        // Numbers stand right, texts left, as in every spreadsheet.
        return m_sheet->isNumber(row, column) ? int(Qt::AlignRight | Qt::AlignVCenter)
                                              : int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

bool SheetTableModel::setData(const QModelIndex &index, const QVariant &value, int role) {
    if (!m_sheet || !index.isValid() || role != Qt::EditRole)
        return false;
    return m_sheet->setValue(index.row() + 1, index.column() + 1, value.toString());
}

Qt::ItemFlags SheetTableModel::flags(const QModelIndex &index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

QVariant SheetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return columnLetters(section + 1);
    return section + 1;
}

bool SheetTableModel::canFetchMore(const QModelIndex &parent) const {
    return !parent.isValid() && m_rows < kMaxRows;
}

void SheetTableModel::fetchMore(const QModelIndex &parent) {
    if (!parent.isValid())
        growTo(std::min(kMaxRows, m_rows + kMinRows), m_columns);
}

void SheetTableModel::growTo(int rows, int columns) {
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    }
    if (columns > m_columns) {
        beginInsertColumns({}, m_columns, columns - 1);
        m_columns = columns;
        endInsertColumns();
    }
}

void SheetTableModel::onCellsChanged(int top, int left, int bottom, int right) {
    growTo(std::min(kMaxRows, std::max(m_rows, bottom + kSpareRows)),
           std::min(kMaxColumns, std::max(m_columns, right + kSpareColumns)));
    emit dataChanged(index(top - 1, left - 1),
                     index(std::min(bottom, m_rows) - 1, std::min(right, m_columns) - 1));
}

} // namespace tavlo::sheet
