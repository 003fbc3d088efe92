#include "tcphistory/HistoryGridModel.h"

namespace orvex {

HistoryGridModel::HistoryGridModel(const ConnectionHistory& history, QObject* parent)
    : QAbstractTableModel(parent), history_(history), shownRows_(history.rows().size()) {}

int HistoryGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shownRows_ - 1);
}

int HistoryGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(ConnectionHistory::kColumns);
}

QVariant HistoryGridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const auto row = static_cast<std::size_t>(index.row()) + 1;
    if (row >= history_.rows().size()) return {};
    return QString::fromStdString(history_.rows()[row][static_cast<std::size_t>(index.column())]);
}

QVariant HistoryGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(ConnectionHistory::kColumns))
        return {};
    return QString::fromStdString(history_.rows().front()[static_cast<std::size_t>(section)]);
}

Qt::ItemFlags HistoryGridModel::flags(const QModelIndex& index) const {
    // Selectable so that a click moves the current cell; never editable.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void HistoryGridModel::historyReset() {
    beginResetModel();
    shownRows_ = history_.rows().size();
    endResetModel();
}

void HistoryGridModel::titlesChanged() {
    emit headerDataChanged(Qt::Horizontal, 0, static_cast<int>(ConnectionHistory::kColumns) - 1);
}

void HistoryGridModel::rowsAppended(std::size_t first, std::size_t rowCount) {
    const int lastColumn = static_cast<int>(ConnectionHistory::kColumns) - 1;
    if (rowCount > shownRows_) {
        beginInsertRows({}, static_cast<int>(shownRows_ - 1), static_cast<int>(rowCount - 2));
        shownRows_ = rowCount;
        endInsertRows();
    }
    // The row that was the empty last row now holds the first new entry.
    if (first >= 1 && first < shownRows_)
        emit dataChanged(index(static_cast<int>(first - 1), 0),
                         index(static_cast<int>(first - 1), lastColumn));
}

} // namespace orvex
