#include "tables/gui/portion_view.h"

#include "tables/portions.h"

#include <QLabel>
#include <QTableWidget>

void renderPortions(tables::PortionCalibration& calibration, QTableWidget* grid, QLabel* step_zapr,
                    QLabel* tar_file_name) {
    const auto& layout = calibration.layout();
    const auto& s = calibration.state();
    if (grid->columnCount() != layout.headers.size())
        grid->setColumnCount(int(layout.headers.size()));
    grid->setHorizontalHeaderLabels(layout.headers);
    // Only the rows changed since the last drawing, and rows the grid does
    // not have yet: a capture touches two rows, whatever the grid holds.
    const int shown = grid->rowCount();
    const int rows = int(s.rows.size());
    if (shown != rows)
        grid->setRowCount(rows);
    for (int r = std::max(0, std::min(s.redrawFrom - 1, shown)); r < rows; ++r) {
        for (int c = 0; c < s.rows[r].size(); ++c) {
            QTableWidgetItem* item = grid->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                grid->setItem(r, c, item);
            }
            if (item->text() != s.rows[r][c])
                item->setText(s.rows[r][c]);
        }
    }
    step_zapr->setText(QString::number(s.portion));
    tar_file_name->setText(s.fileName);
    if (s.topRow > 0 && s.topRow <= grid->rowCount()) {
        grid->doItemsLayout(); // the scroll range must know the new row
        grid->scrollToItem(grid->item(s.topRow - 1, 0), QAbstractItemView::PositionAtTop);
    }
    calibration.rendered();
}
