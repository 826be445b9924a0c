#include "flash/row_model_qt.h"

RowModel::RowModel(QStringList headers, size_t maxRows, QObject* parent)
    : QAbstractTableModel(parent), headers_(std::move(headers)), maxRows_(maxRows) {}

int RowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int RowModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(headers_.size());
}

QVariant RowModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    if (size_t(index.row()) >= rows_.size() || index.column() >= headers_.size()) return {};
    return cell(index.row(), index.column());
}

QVariant RowModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < headers_.size() ? headers_[section] : QVariant();
    return section + 1;
}

void RowModel::append(std::vector<QString> row) {
    row.resize(size_t(headers_.size()));
    if (maxRows_ > 0 && rows_.size() >= maxRows_) {
        beginRemoveRows({}, 0, 0);
        rows_.pop_front();
        ++dropped_;
        endRemoveRows();
    }
    const int at = int(rows_.size());
    beginInsertRows({}, at, at);
    rows_.push_back(std::move(row));
    endInsertRows();
}

void RowModel::clear() {
    beginResetModel();
    rows_.clear();
    dropped_ = 0;
    endResetModel();
}

const QString& RowModel::cell(int row, int column) const {
    return rows_[size_t(row)][size_t(column)];
}
