// The data-aware grid over the catalog: rows follow the dataset both ways, keys,
// mouse, the scroll bar, and the record form opened by double-click and Enter.
#include "platform/qt/db_grid.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/DataMod.h"
#include "app/Main.h"
#include "tests/app/app_test_support.h"

namespace qvx_test {
namespace {

using platform::qt::TDBGrid;

class GridTest : public ProgramFixture {
 protected:
  void StartOn(int titles) {
    MakeSampleCatalog(dir_.path(), titles);
    Start(dir_.path());
    grid_ = MainForm->DBGrid;
  }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    RunAsEvent([this, key, modifiers] {
      QKeyEvent press(QEvent::KeyPress, key, modifiers);
      QApplication::sendEvent(grid_, &press);
    });
  }
  void ClickRow(int row, bool twice = false) {
    RunAsEvent([this, row, twice] {
      QPointF at(10, row * grid_->RowHeight() + grid_->RowHeight() / 2);
      QMouseEvent press(QEvent::MouseButtonPress, at, grid_->viewport()->mapToGlobal(at),
                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(grid_->viewport(), &press);
      if (twice) {
        QMouseEvent dbl(QEvent::MouseButtonDblClick, at, grid_->viewport()->mapToGlobal(at),
                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(grid_->viewport(), &dbl);
      }
    });
  }
  std::string Title() { return MastData->QvxcatTableTITLE->AsString(); }
  QString SelectedTitle() { return grid_->CellText(grid_->SelectedRow(), 0); }
  TempDir dir_;
  TDBGrid* grid_ = nullptr;
};

TEST_F(GridTest, KeysMoveTheDatasetAndTheSelectedRowFollows) {
  StartOn(500);
  const int rows = grid_->VisibleRowCount();
  ASSERT_GT(rows, 3);
  EXPECT_EQ(grid_->SelectedRow(), 0);
  Key(Qt::Key_Down);
  EXPECT_EQ(grid_->SelectedRow(), 1);
  EXPECT_EQ(SelectedTitle().toStdString(), Title());
  Key(Qt::Key_PageDown);
  EXPECT_EQ(SelectedTitle().toStdString(), Title());
  Key(Qt::Key_End, Qt::ControlModifier);
  EXPECT_TRUE(MastData->QvxcatTable.Eof());
  EXPECT_EQ(grid_->SelectedRow(), rows - 1);
  EXPECT_EQ(SelectedTitle().toStdString(), Title());
  Key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_TRUE(MastData->QvxcatTable.Bof());
  EXPECT_EQ(grid_->SelectedRow(), 0);
  // PageDown moves by a screen of records.
  MastData->QvxcatTable.First();
  std::vector<std::string> order;
  for (int i = 0; i <= rows; ++i) {
    order.push_back(Title());
    MastData->QvxcatTable.Next();
  }
  MastData->QvxcatTable.First();
  Key(Qt::Key_PageDown);
  EXPECT_EQ(Title(), order[size_t(rows)]);
  Key(Qt::Key_PageUp);
  EXPECT_EQ(Title(), order[0]);
  Key(Qt::Key_Up);
  EXPECT_TRUE(MastData->QvxcatTable.Bof());
}

TEST_F(GridTest, ClicksMoveTheDatasetAndDatasetMovesShowInTheGrid) {
  StartOn(200);
  ClickRow(3);
  EXPECT_EQ(grid_->SelectedRow(), 3);
  EXPECT_EQ(grid_->CellText(3, 0).toStdString(), Title());
  // A click below the last record does nothing.
  MastData->QvxcatTable.Last();
  const std::string last = Title();
  ClickRow(grid_->VisibleRowCount() + 5);
  EXPECT_EQ(Title(), last);
  // Locate moves the grid.
  MastData->QvxcatTable.First();
  MastData->QvxcatTable.MoveBy(120);
  const std::string target = Title();
  MastData->QvxcatTable.First();
  ASSERT_TRUE(MastData->QvxcatTable.Locate("TITLE", target, 0));
  ProcessEvents();
  EXPECT_EQ(SelectedTitle().toStdString(), target);
}

TEST_F(GridTest, ScrollBarIsExactInNaturalOrderAndMovesByDragging) {
  StartOn(1000);
  MastData->QvxcatTable.SetIndexName("");
  MastData->QvxcatTable.First();
  ProcessEvents();
  QScrollBar* bar = grid_->verticalScrollBar();
  EXPECT_EQ(bar->maximum(), 999);
  EXPECT_EQ(bar->value(), 0);
  MastData->QvxcatTable.MoveBy(250);
  ProcessEvents();
  EXPECT_EQ(bar->value(), MastData->QvxcatTable.RecNo() - 1);
  RunAsEvent([bar] {
    bar->setSliderPosition(700);
    bar->triggerAction(QAbstractSlider::SliderMove);
  });
  EXPECT_EQ(MastData->QvxcatTable.RecNo(), 701);
  EXPECT_EQ(bar->value(), 700);
  RunAsEvent([bar] { bar->triggerAction(QAbstractSlider::SliderToMaximum); });
  EXPECT_TRUE(MastData->QvxcatTable.Eof());
  EXPECT_EQ(bar->value(), 999);
}

// The place of the current record in the list the grid shows, and the list's
// length, by walking it.
std::pair<int, int> PlaceInList() {
  TDevazozDataSet& table = MastData->QvxcatTable;
  const platform::TBookmark mark = table.GetBookmark();
  int before = 0;
  while (!table.Bof()) {
    table.Prior();
    if (!table.Bof()) ++before;
  }
  table.GotoBookmark(mark);
  int after = 0;
  while (!table.Eof()) {
    table.Next();
    if (!table.Eof()) ++after;
  }
  table.GotoBookmark(mark);
  return {before, before + after + 1};
}

void DragTo(QScrollBar* bar, double fraction) {
  RunAsEvent([bar, fraction] {
    bar->setSliderPosition(bar->minimum() +
                           int(std::lround((bar->maximum() - bar->minimum()) * fraction)));
    bar->triggerAction(QAbstractSlider::SliderMove);
  });
}

// Quarters of the thumb land on quarters of the list, and the thumb stands where
// the record stands, within 2 % (or the nearest record, in a list too short for that).
void ExpectQuartersTrue(QScrollBar* bar) {
  for (double quarter : {0.25, 0.5, 0.75}) {
    DragTo(bar, quarter);
    const auto [place, count] = PlaceInList();
    ASSERT_GT(count, 1);
    const double tolerance = std::max(0.02, 0.5 / (count - 1) + 1e-9);
    EXPECT_NEAR(double(place) / (count - 1), quarter, tolerance) << quarter;
    ProcessEvents();
    const double thumb = double(bar->value() - bar->minimum()) / (bar->maximum() - bar->minimum());
    EXPECT_NEAR(thumb, double(place) / (count - 1), 0.02) << quarter;
  }
}

TEST_F(GridTest, ScrollBarTellsTheTruthInTagOrderAndUnderAFilter) {
  StartOn(48);
  QScrollBar* bar = grid_->verticalScrollBar();
  // On the sample the thumb moves one step per row.
  EXPECT_EQ(bar->maximum() - bar->minimum(), 47);
  for (int row = 0; row < 47; ++row) {
    EXPECT_EQ(bar->value(), row);
    Key(Qt::Key_Down);
  }
  EXPECT_EQ(bar->value(), 47);
  ExpectQuartersTrue(bar);
  // Ordered by category and filtered to two categories, which are one band of
  // the tag: the thumb counts only the titles shown.
  RunAsEvent([] {
    MastData->QvxcatTable.SetIndexName("CATEGORY");
    MastData->QvxcatTable.SetFilter("CATEGORY = 'Racing' OR CATEGORY = 'Puzzle'");
    MastData->QvxcatTable.SetFiltered(true);
  });
  ProcessEvents();
  const int shown = PlaceInList().second;
  ASSERT_GT(shown, 4);
  ASSERT_LT(shown, 48);
  EXPECT_EQ(bar->maximum() - bar->minimum(), shown - 1);
  for (int row = 0; row < shown - 1; ++row) {
    EXPECT_EQ(bar->value(), row);
    Key(Qt::Key_Down);
  }
  ExpectQuartersTrue(bar);
}

TEST_F(GridTest, ScrollBarQuartersLandOnQuartersOfABiggerCatalog) {
  StartOn(5000);
  QScrollBar* bar = grid_->verticalScrollBar();
  ExpectQuartersTrue(bar);
  RunAsEvent([] {
    MastData->QvxcatTable.SetFilter("ANALOG = .T.");
    MastData->QvxcatTable.SetFiltered(true);
  });
  ExpectQuartersTrue(bar);
}

TEST_F(GridTest, ScrollBarInTagOrderTellsRoughlyWhereTheUserIs) {
  StartOn(5000);
  QScrollBar* bar = grid_->verticalScrollBar();
  EXPECT_EQ(bar->value(), bar->minimum());
  Key(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(bar->value(), bar->maximum());
  // Inside the view the thumb moves forward with the record, strictly inside the ends.
  int last_value = bar->minimum();
  for (int at : {1000, 2500, 4000}) {
    MastData->QvxcatTable.First();
    MastData->QvxcatTable.MoveBy(at);
    ProcessEvents();
    EXPECT_GT(bar->value(), last_value) << at;
    EXPECT_LT(bar->value(), bar->maximum()) << at;
    last_value = bar->value();
  }
  // Dragging lands inside the view, later for a later thumb position.
  auto drag_to = [this, bar](double fraction) {
    RunAsEvent([bar, fraction] {
      bar->setSliderPosition(bar->minimum() + int((bar->maximum() - bar->minimum()) * fraction));
      bar->triggerAction(QAbstractSlider::SliderMove);
    });
    int steps = 0;
    platform::TBookmark mark = MastData->QvxcatTable.GetBookmark();
    while (!MastData->QvxcatTable.Bof()) {
      MastData->QvxcatTable.Prior();
      ++steps;
    }
    MastData->QvxcatTable.GotoBookmark(mark);
    return steps;
  };
  const int quarter = drag_to(0.25);
  const int three_quarters = drag_to(0.75);
  EXPECT_GT(quarter, 100);
  EXPECT_GT(three_quarters, quarter + 1000);
  EXPECT_LT(three_quarters, 4900);
}

TEST_F(GridTest, DoubleClickAndEnterOpenTheRecordForm) {
  StartOn(48);
  ModalAnswers answers;
  int shown = 0;
  answers.Then([&shown](QWidget* form) {
    EXPECT_EQ(form->windowTitle(), "Catalog");
    ++shown;
    form->close();
  });
  ClickRow(2, true);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(grid_->SelectedRow(), 2);
  answers.Then([&shown](QWidget* form) {
    ++shown;
    form->close();
  });
  RunAsEvent([this] {
    QApplication::setActiveWindow(MainForm);
    grid_->setFocus();
    QTest::keyClick(grid_, Qt::Key_Return);
  });
  EXPECT_EQ(shown, 2);
}

TEST_F(GridTest, AssigningTheColumnsToThemselvesGoesBackToDefaultColumns) {
  StartOn(48);
  auto& columns = grid_->Columns();
  columns.Assign(columns);
  EXPECT_FALSE(columns.Customized());
  EXPECT_EQ(columns.Count(), 8);
  platform::qt::TDBGridColumns custom(nullptr);
  custom.Add(platform::qt::TDBGridColumn("PLAYERS", "Players", 50));
  columns.Assign(custom);
  ASSERT_EQ(columns.Count(), 1);
  EXPECT_EQ(grid_->CellText(0, 0).toStdString(), MastData->QvxcatTablePLAYERS->AsString());
  columns.Assign(columns);
  EXPECT_EQ(columns.Count(), 8);
}

}  // namespace
}  // namespace qvx_test
