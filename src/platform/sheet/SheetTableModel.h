#pragma once

#include <QAbstractTableModel>
#include <QPointer>

namespace tavlo::sheet {

class Worksheet;

// A sheet as a grid for a table view: shown texts for display, full values for editing, column letters
// and row numbers as headers. The grid reaches a little beyond the used range and grows as the user
// scrolls or as cells are written further out.
class SheetTableModel : public QAbstractTableModel {
    Q_OBJECT
    Q_MOC_INCLUDE("platform/sheet/Worksheet.h")

public:
    explicit SheetTableModel(Worksheet *sheet, QObject *parent = nullptr);

    Worksheet *sheet() const { return m_sheet; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

private:
    void onCellsChanged(int top, int left, int bottom, int right);
    void growTo(int rows, int columns);

    QPointer<Worksheet> m_sheet;
    int m_rows = 0;
    int m_columns = 0;
};

} // namespace tavlo::sheet
