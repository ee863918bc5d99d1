#pragma once
// Calibration by portions: the tank is filled in equal portions, and after
// each one the level shown for the sensor is captured into a grid row and
// appended to a .trr file (Windows-1251, CR LF, fields separated by ";").
//
// Two copies exist, the main window's calibration tab and the calibration
// window, each with its own state, grid and file; they differ only in their
// layout. The grid here is plain data that the window renders: data rows
// 1..rowCount (the header row is the window's), cells as texts.
//
// Every operation either completes or changes nothing: a cancelled or failed
// New or Resume leaves the grid, the portion and the file being filled as
// they were, so a later capture never lands in a file that does not match
// the grid.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class UserDialog;

namespace tables {

// Rows a trr file may hold: far above any tank, and small enough that a
// resume and its grid stay quick. A longer file is not resumed, and no
// capture goes beyond it.
inline constexpr int MaxPortionRows = 10000;

struct PortionLayout {
    QStringList headers;   // the header cells, also the file's first line
    int keptRows = 0;      // data rows kept when the grid is cleared
    bool numbered = false; // the first column holds the row number

    int litresColumn() const { return numbered ? 1 : 0; }
    int levelColumn() const { return numbered ? 2 : 1; }
};

// The main window's tab: "№ проции", "Литры", "Уровень"; 7 rows kept.
PortionLayout tabLayout();
// The calibration window: "Литры", "Уровень"; 4 rows kept.
PortionLayout windowLayout();

class PortionCalibration {
public:
    struct State {
        int portion = 0; // litres per step, -32768..32767
        // Running litres of the pending row; 64 bits, so that no sum of a
        // 32-bit total from a file and a portion can overflow.
        qint64 litres = 0;
        int currentRow = 1; // the grid row waiting for its level, from 1
        QString fileName;   // without folder; empty: nothing to write to
        QString filePath;
        QList<QStringList> rows; // data rows, each with one cell per column
        int topRow = 0;          // row to scroll to the top, 0 when none is asked
        // The first data row the window must draw again: rows above it are
        // shown as they stand, so a capture redraws two rows, not the grid.
        int redrawFrom = 1;
        // Bytes at the start of the file that hold its complete lines; a
        // capture keeps these and adds its own line (a cut-off last line
        // dropped by a resume is not among them).
        qint64 fileBytes = 0;
    };

    // folder: where the file dialogs start.
    PortionCalibration(PortionLayout layout, QString folder);

    const PortionLayout& layout() const { return layout_; }
    const State& state() const { return s_; }
    // The file's first line.
    QString headerLine() const { return layout_.headers.join(QLatin1Char(';')); }
    // The file line of a data row: its cells joined by ";".
    QString lineOf(int row) const;

    // "Новая тарировка": portion, then the file; creates the file with its header.
    void newCalibration(UserDialog& dialog);
    // "Возобновить тарировку": reads a file made by this copy and continues it.
    void resume(UserDialog& dialog);
    // "Ввести значение  (F9)": the level text goes into the pending row, whose
    // line is added to the file. The file is replaced by a copy with the new
    // line only once that copy is complete, so that a crash leaves the old
    // file or the old file plus one whole line. Refused, with nothing written,
    // beyond MaxPortionRows rows or when the running litres would leave the
    // 32-bit range.
    void capture(const QString& levelText, UserDialog& dialog);
    // "Изменить": a new portion; the pending row follows it.
    void changePortion(UserDialog& dialog);

    // Scroll requests are taken once by the window that renders them.
    void clearScrollRequest() { s_.topRow = 0; }
    // The window has drawn the state: no row waits to be drawn again and the
    // scroll request is taken.
    void rendered() {
        s_.topRow = 0;
        s_.redrawFrom = int(s_.rows.size()) + 1;
    }

private:
    void clearGrid(State& s) const;
    void prepareRow(State& s) const;
    void setCell(State& s, int row, int column, const QString& text) const;
    // The portion from the input box; zero accepted only when asked.
    static std::optional<int> askPortion(UserDialog& dialog, bool zeroAllowed);

    PortionLayout layout_;
    QString folder_;
    State s_;
};

// The F9 key of the calibration window, polled by a 50 ms timer: a capture is
// due when the key is down, or was pressed since the previous poll, and the
// window is the active one. Key events of the window feed it.
class F9Poller {
public:
    void keyPressed() {
        down_ = true;
        pressedSincePoll_ = true;
    }
    void keyReleased() { down_ = false; }
    // The window lost activation: whatever happens to the key now is not seen.
    void reset() { down_ = pressedSincePoll_ = false; }
    bool isDown() const { return down_; }

    // One timer tick; true when the capture runs on this tick.
    bool poll(bool windowActive) {
        const bool due = (down_ || pressedSincePoll_) && windowActive;
        pressedSincePoll_ = false;
        return due;
    }

private:
    bool down_ = false;
    bool pressedSincePoll_ = false;
};

} // namespace tables
