// The rows of a trace window as a table model: text columns, appended at the end, at most a
// given number of rows (the oldest go first, and are counted). A QTableView shows only the
// rows on screen, so a list of a hundred thousand rows costs no widgets.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <deque>
#include <vector>

class RowModel : public QAbstractTableModel {
    Q_OBJECT
public:
    RowModel(QStringList headers, size_t maxRows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Adds a row at the end (short rows are padded with empty cells); when the model is full
    // the oldest row goes first.
    void append(std::vector<QString> row);
    // Empties the list (and the count of dropped rows).
    void clear();
    const QString& cell(int row, int column) const;
    // Rows dropped to keep within the limit since the last clear.
    uint64_t dropped() const { return dropped_; }
    size_t maxRows() const { return maxRows_; }

private:
    QStringList headers_;
    size_t maxRows_;
    std::deque<std::vector<QString>> rows_;
    uint64_t dropped_ = 0;
};
