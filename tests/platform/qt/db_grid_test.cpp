// The grid and the navigator over an in-memory dataset: default columns, rows read
// from the buffer window, keys and clicks moving the dataset, dataset moves shown,
// Ctrl+Delete with its confirmation, the navigator's buttons, the scroll bar.
#include "platform/qt/db_grid.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

#include "platform/qt/db_navigator.h"
#include "tests/support/mem_dataset.h"
#include "tests/support_qt/qt_test.h"

namespace qvx_test {
namespace {

using platform::qt::TDBGrid;
using platform::qt::TDBNavigator;
using platform::qt::TNavigateBtn;

class GridOverMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 1000; ++i) data_.AddRow({"row" + std::to_string(i), std::to_string(i)});
    source_.SetDataSet(&data_);
    data_.Open();
    grid_.resize(400, 300);
    grid_.SetDataSource(&source_);
    grid_.show();
    QApplication::processEvents();
  }
  void TearDown() override {
    grid_.SetDataSource(nullptr);
    source_.SetDataSet(nullptr);
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&grid_, &press);
    QApplication::processEvents();
  }
  int Num() { return data_.FieldByName("NUM")->AsInteger(); }
  TMemDataSet data_;
  platform::TDataSource source_;
  TDBGrid grid_;
};

TEST_F(GridOverMemory, ShowsDefaultColumnsAndTheRowsOfTheBufferWindow) {
  ASSERT_EQ(grid_.Columns().Count(), 2);
  EXPECT_EQ(grid_.Columns().Items(0).Title(), "NAME");
  EXPECT_EQ(grid_.Columns().Items(1).Title(), "NUM");
  const int rows = grid_.VisibleRowCount();
  EXPECT_GT(rows, 5);
  EXPECT_EQ(grid_.CellText(0, 0), "row0");
  EXPECT_EQ(grid_.CellText(rows - 1, 1), QString::number(rows - 1));
  EXPECT_EQ(grid_.CellText(rows + 3, 0), "");
  // Hidden fields are not shown.
  data_.FieldByName("NUM")->SetVisible(false);
  grid_.LayoutChanged();
  EXPECT_EQ(grid_.Columns().Count(), 1);
}

TEST_F(GridOverMemory, KeysMoveTheDatasetByRowsAndScreens) {
  const int rows = grid_.VisibleRowCount();
  Key(Qt::Key_Down);
  EXPECT_EQ(Num(), 1);
  EXPECT_EQ(grid_.SelectedRow(), 1);
  Key(Qt::Key_PageDown);
  EXPECT_EQ(Num(), 1 + rows);
  EXPECT_EQ(grid_.CellText(grid_.SelectedRow(), 1), QString::number(1 + rows));
  Key(Qt::Key_PageUp);
  EXPECT_EQ(Num(), 1);
  Key(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(Num(), 999);
  EXPECT_EQ(grid_.SelectedRow(), rows - 1);
  EXPECT_EQ(grid_.CellText(rows - 1, 0), "row999");
  Key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(Num(), 0);
  EXPECT_EQ(grid_.SelectedRow(), 0);
  Key(Qt::Key_Up);
  EXPECT_TRUE(data_.Bof());
}

TEST_F(GridOverMemory, ClicksSelectRowsAndDatasetMovesShowInTheGrid) {
  int double_clicks = 0;
  QObject::connect(&grid_, &TDBGrid::DblClick, [&double_clicks] { ++double_clicks; });
  const QPointF at(20, grid_.RowHeight() * 4 + 3);
  QMouseEvent press(QEvent::MouseButtonPress, at, grid_.viewport()->mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(grid_.viewport(), &press);
  EXPECT_EQ(Num(), 4);
  QMouseEvent dbl(QEvent::MouseButtonDblClick, at, grid_.viewport()->mapToGlobal(at),
                  Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(grid_.viewport(), &dbl);
  EXPECT_EQ(double_clicks, 1);
  data_.MoveBy(500);
  QApplication::processEvents();
  EXPECT_EQ(grid_.CellText(grid_.SelectedRow(), 0), "row504");
  ASSERT_TRUE(data_.Locate("NAME", std::string("row20"), 0));
  EXPECT_EQ(grid_.CellText(grid_.SelectedRow(), 0), "row20");
}

TEST_F(GridOverMemory, CtrlDeleteAsksFirst) {
  Key(Qt::Key_Down);
  {
    ModalAnswers answer;
    answer.Button(QMessageBox::Cancel);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(answer.Texts(), QStringList{"Delete record?"});
  }
  EXPECT_FALSE(data_.IsDeleted(2));
  {
    ModalAnswers answer;
    answer.Button(QMessageBox::Ok);
    Key(Qt::Key_Delete, Qt::ControlModifier);
  }
  EXPECT_TRUE(data_.IsDeleted(2));
  EXPECT_EQ(grid_.CellText(1, 0), "row2");
  // Delete alone and Insert do nothing.
  Key(Qt::Key_Delete);
  Key(Qt::Key_Insert);
  EXPECT_FALSE(data_.IsDeleted(3));
  EXPECT_EQ(data_.State(), platform::TDataSetState::dsBrowse);
}

TEST_F(GridOverMemory, ScrollBarFollowsTheRecordInASequencedDataset) {
  QScrollBar* bar = grid_.verticalScrollBar();
  EXPECT_EQ(bar->maximum(), 999);
  data_.MoveBy(300);
  QApplication::processEvents();
  EXPECT_EQ(bar->value(), data_.RecNo() - 1);
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_TRUE(data_.Eof());
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_EQ(Num(), 999 - grid_.VisibleRowCount());
}

TEST_F(GridOverMemory, ScreenReadersSeeATableOfTheWindowsRowsWithTheCurrentRecordSelected) {
  QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid_);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->role(), QAccessible::Table);
  QAccessibleTableInterface* cells = table->tableInterface();
  ASSERT_NE(cells, nullptr);
  const int rows = grid_.VisibleRowCount();
  EXPECT_EQ(cells->rowCount(), rows);  // the window, not the thousand records
  EXPECT_EQ(cells->columnCount(), 2);
  EXPECT_EQ(cells->columnDescription(0), "NAME");
  EXPECT_EQ(table->childCount(), 2 * (rows + 1));
  EXPECT_EQ(table->child(1)->role(), QAccessible::ColumnHeader);
  EXPECT_EQ(table->child(1)->text(QAccessible::Name), "NUM");

  QAccessibleInterface* cell = cells->cellAt(2, 0);
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->role(), QAccessible::Cell);
  EXPECT_EQ(cell->text(QAccessible::Name), "row2");
  EXPECT_EQ(table->indexOfChild(cell), 3 * 2);
  EXPECT_EQ(table->child(3 * 2), cell);
  EXPECT_EQ(cells->cellAt(rows, 0), nullptr);
  ASSERT_NE(cell->tableCellInterface(), nullptr);
  EXPECT_EQ(cell->tableCellInterface()->rowIndex(), 2);
  EXPECT_EQ(cell->tableCellInterface()->columnHeaderCells().value(0)->text(QAccessible::Name),
            "NAME");
  // Where it is on screen: a point inside the cell finds it.
  const QRect where = cell->rect();
  EXPECT_EQ(table->childAt(where.center().x(), where.center().y()), cell);

  // The current record is the selected row; the focus is on its first cell.
  EXPECT_EQ(cells->selectedRows(), QList<int>{0});
  EXPECT_TRUE(table->focusChild()->state().selected);
  data_.MoveBy(2);
  EXPECT_EQ(cells->selectedRows(), QList<int>{2});
  EXPECT_EQ(table->focusChild(), cell);
  EXPECT_TRUE(cell->tableCellInterface()->isSelected());
  // Choosing a row moves the dataset; a scroll changes what the cells read.
  EXPECT_TRUE(cells->selectRow(4));
  EXPECT_EQ(Num(), 4);
  data_.Last();
  EXPECT_EQ(cell->text(QAccessible::Name), "row" + QString::number(1000 - rows + 2));

  // New columns are new columns to it too.
  platform::qt::TDBGridColumns one(nullptr);
  one.Add(platform::qt::TDBGridColumn("NUM", "Number", 60));
  grid_.Columns().Assign(one);
  EXPECT_EQ(cells->columnCount(), 1);
  EXPECT_EQ(cells->columnDescription(0), "Number");
  EXPECT_EQ(cells->cellAt(0, 0)->text(QAccessible::Name), grid_.CellText(0, 0));
  data_.Close();
  EXPECT_EQ(cells->rowCount(), 0);
  EXPECT_FALSE(cell->isValid());
}

TEST_F(GridOverMemory, NavigatorMovesInsertsAndDeletesOnlyOnAnOpenDataset) {
  TDBNavigator navigator;
  navigator.SetDataSource(&source_);
  navigator.BtnClick(TNavigateBtn::nbLast);
  EXPECT_EQ(Num(), 999);
  navigator.BtnClick(TNavigateBtn::nbPrior);
  EXPECT_EQ(Num(), 998);
  navigator.BtnClick(TNavigateBtn::nbFirst);
  navigator.BtnClick(TNavigateBtn::nbNext);
  EXPECT_EQ(Num(), 1);
  {
    ModalAnswers answer;
    answer.Button(QMessageBox::Cancel);
    navigator.BtnClick(TNavigateBtn::nbDelete);
    EXPECT_EQ(answer.Texts(), QStringList{"Delete record?"});
  }
  EXPECT_FALSE(data_.IsDeleted(2));
  {
    ModalAnswers answer;
    answer.Button(QMessageBox::Ok);
    navigator.BtnClick(TNavigateBtn::nbDelete);
  }
  EXPECT_TRUE(data_.IsDeleted(2));
  navigator.BtnClick(TNavigateBtn::nbInsert);
  EXPECT_EQ(data_.State(), platform::TDataSetState::dsInsert);
  navigator.BtnClick(TNavigateBtn::nbCancel);
  data_.Close();
  navigator.BtnClick(TNavigateBtn::nbFirst);
  navigator.BtnClick(TNavigateBtn::nbInsert);
  EXPECT_FALSE(data_.Active());
  EXPECT_EQ(grid_.SelectedRow(), -1);
  EXPECT_EQ(grid_.CellText(0, 0), "");
  navigator.SetDataSource(nullptr);
}

}  // namespace
}  // namespace qvx_test
