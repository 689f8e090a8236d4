#pragma once
// The columns of a small table of the window sized to their titles, so that
// no title is cut ("Numero di serie", "Secondi saltati") whatever the font.

#include <QList>

class QTreeWidget;

namespace vadrel::gui {

// Each column but the last (which stretches) as wide as its title, or as
// `least` says for it where that is wider; the table at least as wide as all
// of them together, so the last title shows too.
void fit_columns_to_titles(QTreeWidget& table, const QList<int>& least = {});

}  // namespace vadrel::gui
