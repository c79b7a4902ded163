#include "platform/qt/db_grid_accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPair>
#include <QPointer>

#include "platform/qt/db_grid.h"

namespace platform::qt {
namespace {

// One cell; row -1 is the title row.
class TGridCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
 public:
  TGridCellAccessible(TDBGrid* grid, int row, int column)
      : grid_(grid), row_(row), column_(column) {}

  bool isValid() const override {
    return !grid_.isNull() && column_ < grid_->Columns().Count() && row_ < grid_->ShownRowCount();
  }
  QObject* object() const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override {
    return grid_.isNull() ? nullptr : QAccessible::queryAccessibleInterface(grid_.data());
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }

  QString text(QAccessible::Text t) const override {
    if (!isValid() || (t != QAccessible::Name && t != QAccessible::Value)) return {};
    if (row_ < 0) return grid_->Columns().Items(column_).Title();
    try {
      return grid_->CellText(row_, column_);
    } catch (...) {
      // A record that cannot be read is read out empty, as it is painted.
      return {};
    }
  }
  void setText(QAccessible::Text, const QString&) override {}

  QRect rect() const override {
    if (!isValid()) return {};
    const QRect local = grid_->CellRect(row_, column_);
    return QRect(grid_->mapToGlobal(local.topLeft()), local.size());
  }
  QAccessible::Role role() const override {
    return row_ < 0 ? QAccessible::ColumnHeader : QAccessible::Cell;
  }
  QAccessible::State state() const override {
    QAccessible::State state;
    if (!isValid()) {
      state.invalid = true;
      return state;
    }
    if (!grid_->isVisible()) state.invisible = true;
    if (row_ >= 0) {
      state.readOnly = true;
      state.selectable = true;
      state.focusable = true;
      if (isSelected()) {
        state.selected = true;
        if (column_ == 0 && grid_->hasFocus()) state.focused = true;
      }
    }
    return state;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableCellInterface && row_ >= 0)
      return static_cast<QAccessibleTableCellInterface*>(this);
    return nullptr;
  }

  bool isSelected() const override {
    return !grid_.isNull() && row_ >= 0 && row_ == grid_->SelectedRow();
  }
  QList<QAccessibleInterface*> columnHeaderCells() const override;
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return column_; }
  int rowIndex() const override { return row_; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return parent(); }

  int Row() const { return row_; }
  int Column() const { return column_; }

 private:
  QPointer<TDBGrid> grid_;
  int row_;
  int column_;
};

class TGridAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit TGridAccessible(TDBGrid* grid) : QAccessibleWidget(grid, QAccessible::Table) {}
  ~TGridAccessible() override { ForgetCells(); }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  int childCount() const override { return Columns() * (Rows() + 1); }
  QAccessibleInterface* child(int index) const override {
    const int columns = Columns();
    if (index < 0 || columns == 0 || index >= childCount()) return nullptr;
    return Cell(index / columns - 1, index % columns);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    auto* cell = dynamic_cast<const TGridCellAccessible*>(child);
    if (cell == nullptr || !cell->isValid() || cell->parent() != this) return -1;
    return (cell->Row() + 1) * Columns() + cell->Column();
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint local = Grid()->mapFromGlobal(QPoint(x, y));
    for (int row = -1; row < Rows(); ++row)
      for (int column = 0; column < Columns(); ++column)
        if (Grid()->CellRect(row, column).contains(local)) return Cell(row, column);
    return nullptr;
  }
  QAccessibleInterface* focusChild() const override {
    const int row = Grid()->SelectedRow();
    return row >= 0 && Columns() > 0 ? Cell(row, 0) : nullptr;
  }

  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override {
    if (row < 0 || row >= Rows() || column < 0 || column >= Columns()) return nullptr;
    return Cell(row, column);
  }
  int selectedCellCount() const override { return Grid()->SelectedRow() >= 0 ? Columns() : 0; }
  QList<QAccessibleInterface*> selectedCells() const override {
    QList<QAccessibleInterface*> cells;
    const int row = Grid()->SelectedRow();
    if (row >= 0)
      for (int column = 0; column < Columns(); ++column) cells << Cell(row, column);
    return cells;
  }
  QString columnDescription(int column) const override {
    return column >= 0 && column < Columns() ? Grid()->Columns().Items(column).Title() : QString();
  }
  QString rowDescription(int) const override { return {}; }
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override { return Grid()->SelectedRow() >= 0 ? 1 : 0; }
  int columnCount() const override { return Columns(); }
  int rowCount() const override { return Rows(); }
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override {
    const int row = Grid()->SelectedRow();
    return row >= 0 ? QList<int>{row} : QList<int>{};
  }
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int row) const override { return row >= 0 && row == Grid()->SelectedRow(); }
  bool selectRow(int row) override {
    if (row < 0 || row >= Rows()) return false;
    Grid()->SelectRow(row);
    return true;
  }
  bool selectColumn(int) override { return false; }
  bool unselectRow(int) override { return false; }
  bool unselectColumn(int) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent* event) override {
    // Cells read their text live; after a new layout the old ones are let go so
    // that the cache holds no more than the window's cells.
    if (event->modelChangeType() == QAccessibleTableModelChangeEvent::ModelReset) ForgetCells();
  }

 private:
  TDBGrid* Grid() const { return static_cast<TDBGrid*>(object()); }
  int Columns() const { return Grid()->Columns().Count(); }
  int Rows() const { return Grid()->ShownRowCount(); }

  QAccessibleInterface* Cell(int row, int column) const {
    const QPair<int, int> key(row, column);
    auto found = cells_.constFind(key);
    if (found != cells_.constEnd()) {
      if (QAccessibleInterface* cell = QAccessible::accessibleInterface(found.value())) return cell;
    }
    auto* cell = new TGridCellAccessible(Grid(), row, column);
    cells_.insert(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
  }
  void ForgetCells() {
    for (QAccessible::Id id : std::as_const(cells_)) QAccessible::deleteAccessibleInterface(id);
    cells_.clear();
  }

  mutable QHash<QPair<int, int>, QAccessible::Id> cells_;
};

QList<QAccessibleInterface*> TGridCellAccessible::columnHeaderCells() const {
  QAccessibleInterface* table = parent();
  if (table == nullptr || table->childCount() <= column_) return {};
  return {table->child(column_)};
}

QAccessibleInterface* GridFactory(const QString&, QObject* object) {
  if (auto* grid = qobject_cast<TDBGrid*>(object)) return new TGridAccessible(grid);
  return nullptr;
}

}  // namespace

void InstallGridAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&GridFactory);
    return true;
  }();
  (void)installed;
}

void NotifyGridAccessibility(TDBGrid* grid, bool layout) {
  // Without a screen reader (or a platform that has none) nobody listens.
  if (!QAccessible::isActive()) return;
  QAccessibleTableModelChangeEvent change(grid,
                                          layout ? QAccessibleTableModelChangeEvent::ModelReset
                                                 : QAccessibleTableModelChangeEvent::DataChanged);
  if (!layout) {
    change.setFirstRow(0);
    change.setFirstColumn(0);
    change.setLastRow(grid->ShownRowCount() - 1);
    change.setLastColumn(grid->Columns().Count() - 1);
  }
  QAccessible::updateAccessibility(&change);
  const int row = grid->SelectedRow();
  const int columns = grid->Columns().Count();
  if (row < 0 || columns == 0) return;
  // The current record's first cell: read out as the selection moves.
  const int child = (row + 1) * columns;
  QAccessibleEvent selection(grid, QAccessible::Selection);
  selection.setChild(child);
  QAccessible::updateAccessibility(&selection);
  if (grid->hasFocus()) {
    QAccessibleEvent focus(grid, QAccessible::Focus);
    focus.setChild(child);
    QAccessible::updateAccessibility(&focus);
  }
}

}  // namespace platform::qt
