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
    grid->setRowCount(int(s.rows.size()));
    for (int r = 0; r < s.rows.size(); ++r) {
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
    calibration.clearScrollRequest();
}
