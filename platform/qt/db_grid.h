// TDBGrid: the read-only data-aware grid, bound to a dataset through a data source.
//
// Why a view over the dataset's buffer window, and not a table model with a row
// per record: the catalog may hold a million titles in index-tag order. A model
// with one row per record needs, for every row it is asked about, the record at
// that position of the tag; the index answers "next" and "prior" cheaply but not
// "the 637,412th key", so a model would either walk the tag (seconds per jump) or
// keep a million-entry map of record numbers (tens of megabytes, rebuilt after
// every sort, filter and edit). The dataset already holds a window of consecutive
// records, as many as the grid has visible rows: the grid's data link asks for
// that many buffers and paints row r by making buffer r active and reading the
// fields. Scrolling one row fetches one record, PageDown a screen of them, Ctrl+End
// moves the cursor to the last record and fills the window backwards; none of it
// depends on the size of the table. Memory is the window, not the table.
//
// The scroll bar cannot count rows it never read, so it asks the dataset where the
// active record stands among the records the view shows (RecordFraction) and, when
// the user drags the thumb, to move to a place (MoveToFraction). When the dataset
// knows how many records the view shows, the bar has one step per record;
// otherwise it is divided into fractions of the view.
//
// Screen readers see the grid as a table of the window's rows (db_grid_accessible.h).
//
// Options: titles, column lines, row lines, whole-row selection, selection always
// shown, confirm before delete; no in-place editing. Without persistent columns the
// grid shows one column per visible field in field order, titled with the field's
// display label and as wide as its display width.
#ifndef PLATFORM_QT_DB_GRID_H_
#define PLATFORM_QT_DB_GRID_H_

#include <QAbstractScrollArea>
#include <QRect>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "platform/dataset/datalink.h"

class QHeaderView;
class QStandardItemModel;

namespace platform {
class TDataSet;
class TField;
}  // namespace platform

namespace platform::qt {

class TDBGrid;

class TDBGridColumn {
 public:
  TDBGridColumn() = default;
  TDBGridColumn(std::string field_name, QString title, int width)
      : field_name_(std::move(field_name)), title_(std::move(title)), width_(width) {}
  const std::string& FieldName() const { return field_name_; }
  const QString& Title() const { return title_; }
  int Width() const { return width_; }
  void SetWidth(int width) { width_ = width; }
  // The bound field while the grid's dataset is open, else null.
  TField* Field() const { return field_; }

 private:
  friend class TDBGrid;
  std::string field_name_;
  QString title_;
  int width_ = 64;
  TField* field_ = nullptr;
};

// The grid's column collection. Default columns are rebuilt from the fields
// whenever the layout changes; assigned columns stay as given.
class TDBGridColumns {
 public:
  explicit TDBGridColumns(TDBGrid* grid) : grid_(grid) {}
  int Count() const { return int(items_.size()); }
  TDBGridColumn& Items(int i) { return items_.at(size_t(i)); }
  const TDBGridColumn& Items(int i) const { return items_.at(size_t(i)); }
  // Copies another collection (the columns become persistent). Assigning the
  // collection to itself empties it, and the grid goes back to default columns.
  void Assign(const TDBGridColumns& other);
  void Add(TDBGridColumn column);
  void Clear();
  bool Customized() const { return customized_; }

 private:
  friend class TDBGrid;
  TDBGrid* grid_;
  std::vector<TDBGridColumn> items_;
  bool customized_ = false;
};

class TDBGrid : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TDBGrid(QWidget* parent = nullptr);
  ~TDBGrid() override;

  TDataSource* DataSource() const;
  void SetDataSource(TDataSource* source);
  TDBGridColumns& Columns() { return columns_; }

  // Rows that fit in the window (the data link's buffer count).
  int VisibleRowCount() const;
  int RowHeight() const { return row_height_; }
  // The row (0-based, in the window) of the dataset's current record, -1 when none.
  int SelectedRow() const;
  // Text shown in a cell of the window (for screen readers and checks).
  QString CellText(int row, int column);
  // Rows of the window that show a record now (0 when closed).
  int ShownRowCount() const;
  // Where a cell is, in the grid's coordinates; row -1 is the title row.
  QRect CellRect(int row, int column) const;
  // Makes the record of a row of the window the current one.
  void SelectRow(int row);
  // Re-reads the columns from the fields (after an assignment or a new dataset).
  void LayoutChanged();
  QHeaderView* TitleHeader() const { return header_; }

 signals:
  void TitleClick(TDBGridColumn* column);
  void DblClick();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool viewportEvent(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  class TGridDataLink;
  friend class TGridDataLink;
  friend class TDBGridColumns;

  TDataSet* ActiveDataSet() const;
  void BuildDefaultColumns();
  void BindColumns();
  void SyncHeader();
  void UpdateGeometry();
  void UpdateScrollBar();
  void UpdateHorizontalRange();
  void DataChanged();
  void MoveBy(int distance);
  void OnScrollAction(int action);
  void OnHeaderResized(int section, int old_size, int new_size);
  void ConfirmDelete();
  int RowAt(int y) const;
  QString FieldText(TField* field) const;
  int ColumnsWidth() const;

  std::unique_ptr<TGridDataLink> link_;
  TDBGridColumns columns_;
  QHeaderView* header_ = nullptr;
  QStandardItemModel* header_model_ = nullptr;
  int row_height_ = 18;
  bool updating_scroll_ = false;
  bool syncing_header_ = false;
};

}  // namespace platform::qt

#endif  // PLATFORM_QT_DB_GRID_H_
