// Tells assistive technology what an operation found, as a screen reader's user would otherwise
// have to go looking for it: a box's answer, a new line in a list.
#pragma once

class QAbstractItemView;
class QString;
class QWidget;

namespace orvex {

// Announces text for window: to assistive technology the window holds an alert ("Meldung") that
// carries the latest announcement as its name and shows itself anew with each one (AT-SPI:
// property-change accessible-name, state-changed showing), which a screen reader speaks. Nothing
// is drawn. Does nothing while no assistive technology listens.
void announce(QWidget* window, const QString& text);

// Reports row of view as a new child (AT-SPI: children-changed add, with the row's text as the
// child's name), which Qt's bridge does not do for rows a model inserts.
void announceNewRow(QAbstractItemView* view, int row);

} // namespace orvex
