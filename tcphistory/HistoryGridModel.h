// The history table as the grid shows it: table row 0 is the grid's fixed title row (its header),
// table rows 1.. are the grid's rows. Reads the ConnectionHistory it is given; UI thread only.
#pragma once

#include "tcphistory/ConnectionHistory.h"

#include <QAbstractTableModel>

namespace orvex {

class HistoryGridModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    // history must outlive the model.
    explicit HistoryGridModel(const ConnectionHistory& history, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // What the history knows of a grid row beyond its seven texts, in one line ("Programm: curl
    // (PID 4242) · Benutzer: alice · ..."); empty for a marker or empty row and a row without facts.
    // The grid's tooltip and accessible description of every cell of the row.
    QString detailsText(int gridRow) const;

    // Called after the history changed.
    void historyReset();
    void titlesChanged();
    void factsChanged();
    void rowsAppended(std::size_t first, std::size_t rowCount);

private:
    const ConnectionHistory& history_;
    // The table rows the view knows about; the history may be ahead until it reports its change.
    std::size_t shownRows_;
};

} // namespace orvex
