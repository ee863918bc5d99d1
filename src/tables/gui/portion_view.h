#pragma once
// Shows one copy of the calibration by portions: its grid, the portion in
// step_zapr and the file name in tar_file_name.

class QLabel;
class QTableWidget;

namespace tables {
class PortionCalibration;
}

// Renders the state into the grid that showed it before: only the rows changed
// since then are drawn again. Scrolls a row asked to the top of the grid (the
// request is taken).
void renderPortions(tables::PortionCalibration& calibration, QTableWidget* grid, QLabel* step_zapr,
                    QLabel* tar_file_name);
