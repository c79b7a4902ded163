#include "platform/qt/db_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "platform/dataset/dataset.h"
#include "platform/qt/ansi_text.h"
#include "platform/qt/db_grid_accessible.h"
#include "platform/qt/message_dlg.h"

namespace platform::qt {
namespace {

// Thumb steps of the scroll bar when the position is a fraction.
constexpr int kFractionSteps = 1000;
constexpr int kCellPadding = 3;
const QColor kLineColor(192, 192, 192);

}  // namespace

// --- Data link -----------------------------------------------------------------------

class TDBGrid::TGridDataLink : public TDataLink {
 public:
  explicit TGridDataLink(TDBGrid* grid) : grid_(grid) {}

 protected:
  void ActiveChanged() override { grid_->LayoutChanged(); }
  void DataSetChanged() override { grid_->DataChanged(); }
  void DataSetScrolled(int distance) override {
    (void)distance;
    grid_->DataChanged();
  }
  void LayoutChanged() override { grid_->LayoutChanged(); }
  void RecordChanged(TField* field) override {
    (void)field;
    grid_->viewport()->update();
  }
  void EditingChanged() override { grid_->viewport()->update(); }

 private:
  TDBGrid* grid_;
};

// --- Columns -------------------------------------------------------------------------

void TDBGridColumns::Assign(const TDBGridColumns& other) {
  if (&other == this) {
    // Emptied first, then filled from itself: nothing is left.
    items_.clear();
    customized_ = false;
  } else {
    items_ = other.items_;
    customized_ = !items_.empty();
  }
  if (grid_ != nullptr) grid_->LayoutChanged();
}

void TDBGridColumns::Add(TDBGridColumn column) {
  items_.push_back(std::move(column));
  customized_ = true;
  if (grid_ != nullptr) grid_->LayoutChanged();
}

void TDBGridColumns::Clear() {
  items_.clear();
  customized_ = false;
  if (grid_ != nullptr) grid_->LayoutChanged();
}

// --- Grid ----------------------------------------------------------------------------

TDBGrid::TDBGrid(QWidget* parent)
    : QAbstractScrollArea(parent), link_(std::make_unique<TGridDataLink>(this)), columns_(this) {
  InstallGridAccessibility();
  setFocusPolicy(Qt::StrongFocus);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setAutoFillBackground(true);
  QPalette pal = viewport()->palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Base));
  viewport()->setPalette(pal);

  header_model_ = new QStandardItemModel(0, 0, this);
  header_ = new QHeaderView(Qt::Horizontal, this);
  header_->setModel(header_model_);
  header_->setSectionsClickable(true);
  header_->setSectionsMovable(false);
  header_->setHighlightSections(false);
  header_->setStretchLastSection(false);
  header_->setSectionResizeMode(QHeaderView::Interactive);
  header_->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header_->setFocusPolicy(Qt::NoFocus);
  connect(header_, &QHeaderView::sectionClicked, this, [this](int section) {
    if (section >= 0 && section < columns_.Count()) emit TitleClick(&columns_.Items(section));
  });
  connect(header_, &QHeaderView::sectionResized, this, &TDBGrid::OnHeaderResized);
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, &TDBGrid::OnScrollAction);
  connect(verticalScrollBar(), &QScrollBar::sliderReleased, this, &TDBGrid::UpdateScrollBar);
  row_height_ = fontMetrics().height() + 4;
  UpdateGeometry();
  UpdateScrollBar();
}

TDBGrid::~TDBGrid() { link_->SetDataSource(nullptr); }

TDataSource* TDBGrid::DataSource() const { return link_->DataSource(); }

void TDBGrid::SetDataSource(TDataSource* source) {
  if (source == link_->DataSource()) return;
  link_->SetDataSource(source);
  LayoutChanged();
}

TDataSet* TDBGrid::ActiveDataSet() const { return link_->Active() ? link_->DataSet() : nullptr; }

int TDBGrid::VisibleRowCount() const {
  return std::max(1, viewport()->height() / std::max(1, row_height_));
}

int TDBGrid::SelectedRow() const {
  if (ActiveDataSet() == nullptr || link_->RecordCount() == 0) return -1;
  return link_->ActiveRecord();
}

QString TDBGrid::FieldText(TField* field) const {
  if (field == nullptr) return {};
  if (field->DataType() == TFieldType::ftMemo) return QStringLiteral("(Memo)");
  if (field->DataType() == TFieldType::ftBlob) return QStringLiteral("(Blob)");
  return AnsiToQString(field->DisplayText());
}

int TDBGrid::ShownRowCount() const {
  return ActiveDataSet() != nullptr ? std::min(link_->RecordCount(), VisibleRowCount()) : 0;
}

QRect TDBGrid::CellRect(int row, int column) const {
  if (column < 0 || column >= columns_.Count()) return {};
  const QRect vp = viewport()->geometry();
  int x = vp.left() - horizontalScrollBar()->value();
  for (int i = 0; i < column; ++i) x += columns_.Items(i).Width();
  const int width = columns_.Items(column).Width();
  if (row < 0) return QRect(x, header_->geometry().top(), width, header_->height());
  return QRect(x, vp.top() + row * row_height_, width, row_height_);
}

void TDBGrid::SelectRow(int row) {
  if (ActiveDataSet() != nullptr && row >= 0 && row < link_->RecordCount())
    MoveBy(row - link_->ActiveRecord());
}

QString TDBGrid::CellText(int row, int column) {
  if (ActiveDataSet() == nullptr || row < 0 || row >= link_->RecordCount() || column < 0 ||
      column >= columns_.Count())
    return {};
  const int saved = link_->ActiveRecord();
  link_->SetActiveRecord(row);
  QString text;
  try {
    text = FieldText(columns_.Items(column).Field());
  } catch (...) {
    link_->SetActiveRecord(saved);
    throw;
  }
  link_->SetActiveRecord(saved);
  return text;
}

void TDBGrid::BuildDefaultColumns() {
  columns_.items_.clear();
  TDataSet* ds = ActiveDataSet();
  if (ds == nullptr) return;
  const QFontMetrics cell(font());
  const QFontMetrics title(header_->font());
  const int digit = cell.horizontalAdvance(QLatin1Char('0'));
  for (int i = 0; i < ds->FieldCount(); ++i) {
    TField* field = ds->Fields(i);
    if (!field->Visible()) continue;
    const QString label = AnsiToQString(field->DisplayLabel());
    const int width = std::max(field->DisplayWidth() * digit, title.horizontalAdvance(label) + 8) +
                      2 * kCellPadding;
    columns_.items_.emplace_back(field->FieldName(), label, width);
  }
}

void TDBGrid::BindColumns() {
  TDataSet* ds = ActiveDataSet();
  for (TDBGridColumn& column : columns_.items_)
    column.field_ = ds != nullptr ? ds->FindField(column.field_name_) : nullptr;
}

void TDBGrid::SyncHeader() {
  syncing_header_ = true;
  header_model_->setColumnCount(columns_.Count());
  for (int i = 0; i < columns_.Count(); ++i) {
    header_model_->setHeaderData(i, Qt::Horizontal, columns_.Items(i).Title());
    header_->resizeSection(i, columns_.Items(i).Width());
  }
  syncing_header_ = false;
}

void TDBGrid::LayoutChanged() {
  if (!columns_.customized_) BuildDefaultColumns();
  BindColumns();
  SyncHeader();
  UpdateGeometry();
  UpdateHorizontalRange();
  NotifyGridAccessibility(this, true);
  DataChanged();
}

void TDBGrid::UpdateGeometry() {
  const int header_height = header_->sizeHint().height();
  setViewportMargins(0, header_height, 0, 0);
  const QRect vp = viewport()->geometry();
  header_->setGeometry(vp.left(), vp.top() - header_height, vp.width(), header_height);
  link_->SetBufferCount(VisibleRowCount());
}

int TDBGrid::ColumnsWidth() const {
  int total = 0;
  for (const TDBGridColumn& column : columns_.items_) total += column.Width();
  return total;
}

void TDBGrid::UpdateHorizontalRange() {
  QScrollBar* bar = horizontalScrollBar();
  bar->setRange(0, std::max(0, ColumnsWidth() - viewport()->width()));
  bar->setPageStep(viewport()->width());
  bar->setSingleStep(20);
  header_->setOffset(bar->value());
}

void TDBGrid::DataChanged() {
  UpdateScrollBar();
  viewport()->update();
  NotifyGridAccessibility(this, false);
}

void TDBGrid::UpdateScrollBar() {
  QScrollBar* bar = verticalScrollBar();
  if (updating_scroll_ || bar->isSliderDown()) return;
  updating_scroll_ = true;
  const QSignalBlocker block(bar);
  TDataSet* ds = ActiveDataSet();
  if (ds == nullptr || ds->IsEmpty()) {
    bar->setRange(0, 0);
    bar->setValue(0);
    updating_scroll_ = false;
    return;
  }
  int rows = 0;
  double position = ds->RecordFraction(&rows);
  if (ds->Bof())
    position = 0.0;
  else if (ds->Eof())
    position = 1.0;
  else if (position < 0)
    position = 0.5;
  position = std::clamp(position, 0.0, 1.0);
  const int page = VisibleRowCount();
  if (rows > 0) {
    // The number of records is known: one step per record.
    bar->setRange(0, rows - 1);
    bar->setPageStep(std::max(1, page));
    bar->setValue(int(std::lround(position * (rows - 1))));
  } else {
    bar->setRange(0, kFractionSteps);
    bar->setPageStep(std::max(1, kFractionSteps / 20));
    bar->setValue(int(std::lround(position * kFractionSteps)));
  }
  bar->setSingleStep(1);
  updating_scroll_ = false;
}

void TDBGrid::OnScrollAction(int action) {
  TDataSet* ds = ActiveDataSet();
  if (ds == nullptr) return;
  QScrollBar* bar = verticalScrollBar();
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      MoveBy(1);
      break;
    case QAbstractSlider::SliderSingleStepSub:
      MoveBy(-1);
      break;
    case QAbstractSlider::SliderPageStepAdd:
      MoveBy(VisibleRowCount());
      break;
    case QAbstractSlider::SliderPageStepSub:
      MoveBy(-VisibleRowCount());
      break;
    case QAbstractSlider::SliderToMinimum:
      ds->First();
      break;
    case QAbstractSlider::SliderToMaximum:
      ds->Last();
      break;
    case QAbstractSlider::SliderMove: {
      const int target = bar->sliderPosition();
      if (target <= bar->minimum())
        ds->First();
      else if (target >= bar->maximum())
        ds->Last();
      else
        ds->MoveToFraction(double(target - bar->minimum()) / (bar->maximum() - bar->minimum()));
      // The thumb follows the mouse while dragging.
      return;
    }
    default:
      return;
  }
  // The slider takes the position set here instead of the one it computed.
  UpdateScrollBar();
  const int value = bar->value();
  bar->setSliderPosition(value);
}

void TDBGrid::MoveBy(int distance) {
  TDataSet* ds = ActiveDataSet();
  if (ds == nullptr || distance == 0) return;
  ds->MoveBy(distance);
}

void TDBGrid::OnHeaderResized(int section, int old_size, int new_size) {
  (void)old_size;
  if (syncing_header_ || section < 0 || section >= columns_.Count()) return;
  columns_.Items(section).SetWidth(new_size);
  UpdateHorizontalRange();
  viewport()->update();
}

int TDBGrid::RowAt(int y) const { return y < 0 ? -1 : y / std::max(1, row_height_); }

void TDBGrid::paintEvent(QPaintEvent* event) {
  (void)event;
  QPainter painter(viewport());
  const QPalette& pal = palette();
  const int width = viewport()->width();
  const int x0 = -horizontalScrollBar()->value();
  TDataSet* ds = ActiveDataSet();
  const int rows = ds != nullptr ? std::min(link_->RecordCount(), VisibleRowCount() + 1) : 0;
  const int active = ds != nullptr ? link_->ActiveRecord() : -1;
  const int saved = active;
  painter.setFont(font());
  for (int row = 0; row < rows; ++row) {
    const int y = row * row_height_;
    const bool selected = row == active;
    const QRect row_rect(0, y, width, row_height_);
    if (selected) painter.fillRect(row_rect, pal.color(QPalette::Active, QPalette::Highlight));
    painter.setPen(selected ? pal.color(QPalette::Active, QPalette::HighlightedText)
                            : pal.color(QPalette::Text));
    link_->SetActiveRecord(row);
    int x = x0;
    for (const TDBGridColumn& column : columns_.items_) {
      if (x + column.Width() > 0 && x < width) {
        QString text;
        Qt::Alignment align = Qt::AlignLeft;
        try {
          text = FieldText(column.Field());
          if (column.Field() != nullptr) {
            const TFieldType type = column.Field()->DataType();
            if (type == TFieldType::ftSmallint || type == TFieldType::ftInteger ||
                type == TFieldType::ftFloat)
              align = Qt::AlignRight;
          }
        } catch (...) {
          // A record that cannot be read paints empty; the command that moved
          // there reports the error.
        }
        const QRect cell(x + kCellPadding, y, column.Width() - 2 * kCellPadding, row_height_);
        painter.drawText(cell, int(align | Qt::AlignVCenter),
                         painter.fontMetrics().elidedText(text, Qt::ElideRight, cell.width()));
      }
      x += column.Width();
    }
  }
  if (ds != nullptr && saved >= 0) link_->SetActiveRecord(saved);
  // Column and row lines.
  painter.setPen(kLineColor);
  const int bottom = std::max(rows, 0) * row_height_;
  int x = x0;
  for (const TDBGridColumn& column : columns_.items_) {
    x += column.Width();
    if (x > 0 && x < width + 1) painter.drawLine(x - 1, 0, x - 1, bottom - 1);
  }
  for (int row = 1; row <= rows; ++row)
    painter.drawLine(0, row * row_height_ - 1, std::min(width, x) - 1, row * row_height_ - 1);
  if (hasFocus() && active >= 0 && active < rows) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = QRect(0, active * row_height_, std::min(width, x), row_height_ - 1);
    focus.backgroundColor = pal.color(QPalette::Highlight);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
}

void TDBGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateGeometry();
  UpdateHorizontalRange();
  UpdateScrollBar();
}

bool TDBGrid::viewportEvent(QEvent* event) { return QAbstractScrollArea::viewportEvent(event); }

void TDBGrid::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    row_height_ = fontMetrics().height() + 4;
    header_->setFont(font());
    UpdateGeometry();
    LayoutChanged();
  }
}

void TDBGrid::scrollContentsBy(int dx, int dy) {
  (void)dy;  // Rows move through the dataset, not by pixels.
  if (dx != 0) {
    header_->setOffset(horizontalScrollBar()->value());
    viewport()->update();
  }
}

void TDBGrid::keyPressEvent(QKeyEvent* event) {
  TDataSet* ds = ActiveDataSet();
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  switch (event->key()) {
    case Qt::Key_Up:
      MoveBy(-1);
      break;
    case Qt::Key_Down:
      MoveBy(1);
      break;
    case Qt::Key_PageUp:
      MoveBy(-VisibleRowCount());
      break;
    case Qt::Key_PageDown:
      MoveBy(VisibleRowCount());
      break;
    case Qt::Key_Home:
      if (ds != nullptr) ds->First();
      break;
    case Qt::Key_End:
      if (ds != nullptr) ds->Last();
      break;
    case Qt::Key_Left:
      horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
      break;
    case Qt::Key_Right:
      horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      break;
    case Qt::Key_Delete:
      if (ctrl)
        ConfirmDelete();
      else
        event->ignore();
      return;
    default:
      event->ignore();
      return;
  }
  event->accept();
}

void TDBGrid::ConfirmDelete() {
  TDataSet* ds = ActiveDataSet();
  if (ds == nullptr || ds->IsEmpty() || !ds->CanModify()) return;
  if (MessageDlg("Delete record?", TMsgDlgType::mtConfirmation, mbOK | mbCancel, this) != mrCancel)
    ds->Delete();
}

void TDBGrid::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  if (event->button() != Qt::LeftButton) return;
  const int row = RowAt(int(event->position().y()));
  SelectRow(row);
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int row = RowAt(int(event->position().y()));
  if (ActiveDataSet() != nullptr && row >= 0 && row < link_->RecordCount()) emit DblClick();
}

void TDBGrid::wheelEvent(QWheelEvent* event) {
  const int notches = event->angleDelta().y() / 120;
  if (notches != 0) MoveBy(-notches * 3);
  event->accept();
}

}  // namespace platform::qt
