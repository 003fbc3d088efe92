#include "tcphistory/HistoryGridModel.h"

#include "controls/LocaleFormats.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

namespace orvex {

HistoryGridModel::HistoryGridModel(const ConnectionHistory& history, QObject* parent)
    : QAbstractTableModel(parent), history_(history), shownRows_(history.rows().size()) {}

int HistoryGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shownRows_ - 1);
}

int HistoryGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(ConnectionHistory::kColumns);
}

QString HistoryGridModel::detailsText(int gridRow) const {
    const auto row = static_cast<std::size_t>(gridRow) + 1;
    if (gridRow < 0 || row + 1 >= shownRows_ || row >= history_.details().size()) return {};
    const ConnectionHistory::RowDetails& details = history_.details()[row];
    if (!details.Entry) return {};
    const ConnectionFacts& facts = details.Facts;
    QStringList parts;
    if (facts.Pid != 0)
        parts << QStringLiteral("Programm: ") + QString::fromStdString(programText(facts));
    else if (facts.Uid != kUnknownUid)
        parts << QStringLiteral("Programm: nicht lesbar");
    if (facts.Uid != kUnknownUid) parts << QStringLiteral("Benutzer: ") + QString::fromStdString(facts.User);
    if (facts.HasTraffic) {
        const QLocale locale = QLocale::system();
        parts << QStringLiteral("gesendet: %1 Bytes").arg(locale.toString(qulonglong(facts.BytesSent)))
              << QStringLiteral("empfangen: %1 Bytes").arg(locale.toString(qulonglong(facts.BytesReceived)))
              << QStringLiteral("RTT: %1 ms").arg(QString::fromStdString(rttMsText(facts)));
    }
    if (facts.Closed) {
        const QDateTime closed = QDateTime::fromMSecsSinceEpoch(
            std::chrono::duration_cast<std::chrono::milliseconds>(facts.Closed->time_since_epoch()).count());
        parts << QStringLiteral("geschlossen: ") +
                     QLocale::system().toString(closed,
                                                shortDateFormat() + QLatin1Char(' ') + longTimeFormat());
    }
    return parts.join(QStringLiteral(" · "));
}

QVariant HistoryGridModel::data(const QModelIndex& index, int role) const {
    if (index.isValid() && (role == Qt::AccessibleDescriptionRole || role == Qt::ToolTipRole)) {
        const QString details = detailsText(index.row());
        return details.isEmpty() ? QVariant() : QVariant(details);
    }
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

void HistoryGridModel::factsChanged() {
    if (shownRows_ > 2)
        emit dataChanged(index(0, 0), index(static_cast<int>(shownRows_) - 3, 6),
                         {Qt::ToolTipRole, Qt::AccessibleDescriptionRole});
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
