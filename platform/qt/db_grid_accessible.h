// The grid's face to screen readers. The grid paints its cells itself, so to a
// screen reader it would be an empty area; this interface presents it as a table.
// Its rows are the records in the grid's window (the rows on screen, the only
// ones the grid knows: see db_grid.h), its columns the grid's columns, and the
// column titles are header cells. The current record is the selected row, and its
// first cell is the focused one; choosing a row makes its record current. Cells
// read their text when asked, so they never show a stale value after a scroll.
//
// Children, in order: one header cell per column, then the cells row by row, so
// that the cell (row, column) is child (row + 1) * columns + column.
#ifndef PLATFORM_QT_DB_GRID_ACCESSIBLE_H_
#define PLATFORM_QT_DB_GRID_ACCESSIBLE_H_

namespace platform::qt {

class TDBGrid;

// Lets the accessibility framework build the interface for every grid; once per
// program (the grid calls it).
void InstallGridAccessibility();

// Tells an active screen reader that the grid's records moved or the current
// record changed (`layout`: the columns changed too).
void NotifyGridAccessibility(TDBGrid* grid, bool layout);

}  // namespace platform::qt

#endif  // PLATFORM_QT_DB_GRID_ACCESSIBLE_H_
