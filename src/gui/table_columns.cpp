#include "table_columns.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTreeWidget>
#include <algorithm>

namespace vadrel::gui {

void fit_columns_to_titles(QTreeWidget& table, const QList<int>& least) {
    QHeaderView& header = *table.header();
    int total = 0;
    for (int column = 0; column < table.columnCount(); ++column) {
        int width = header.sectionSizeHint(column);
        if (column < least.size()) width = std::max(width, least[column]);
        if (column + 1 < table.columnCount()) header.resizeSection(column, width);
        total += width;
    }
    // What frames the columns: the table's own frame and a vertical scroll bar.
    const int frame = table.frameWidth() * 2 + table.verticalScrollBar()->sizeHint().width();
    table.setMinimumWidth(std::max(table.minimumWidth(), total + frame));
}

}  // namespace vadrel::gui
