// Pictures of the record forms and dialogs on the sample catalog, for looking at
// them: written as PNG files into $QVX_SCREENSHOT_DIR when it is set. Every window
// must at least be laid out with its controls inside it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <cstdlib>

#include "app/CatalFrm.h"
#include "app/CategFrm.h"
#include "app/DataMod.h"
#include "app/DevFrm.h"
#include "app/FiltFrm.h"
#include "app/FindDlg.h"
#include "app/Main.h"
#include "app/SortDlg.h"
#include "tests/app/app_test_support.h"

namespace qvx_test {
namespace {

class FormPictures : public ProgramFixture {
 protected:
  void SetUp() override {
    MakeSampleCatalog(dir_.path());
    Start(dir_.path());
  }
  // Shows the window without its modal loop, checks that every visible control
  // lies inside it, and writes its picture.
  void Picture(QDialog* window, const char* name) {
    window->show();
    ProcessEvents();
    const QRect inside = window->rect();
    for (QWidget* child : window->findChildren<QWidget*>()) {
      if (!child->isVisibleTo(window) || child->isWindow()) continue;
      QRect r(child->mapTo(window, QPoint(0, 0)), child->size());
      EXPECT_TRUE(inside.contains(r)) << name << ": " << child->objectName().toStdString();
    }
    if (const char* dir = std::getenv("QVX_SCREENSHOT_DIR"))
      window->grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
    window->hide();
    ProcessEvents();
  }
  TempDir dir_;
};

TEST_F(FormPictures, RecordFormsAndDialogs) {
  for (int i = 0; i < 4; ++i) MastData->QvxcatTable.Next();
  Picture(CatalogForm, "catalog_general");
  CatalogForm->show();
  CatalogForm->PageControl->setCurrentIndex(1);
  Picture(CatalogForm, "catalog_notes");
  CatalogForm->PageControl->setCurrentIndex(0);
  Picture(CategoryForm, "category");
  Picture(DeveloperForm, "developer");
  FindDialog->FieldNames = {"TITLE", "CATEGORY"};
  FindDialog->DataSource = &MastData->QvxcatSource;
  Picture(FindDialog, "find");
  SortDialog->IndexNames = {"TITLE", "CATEGORY"};
  SortDialog->IndexCaptions = {"Title", "Category"};
  SortDialog->DataSet = &MastData->QvxcatTable;
  Picture(SortDialog, "sort");
  FilterForm->DataSource = &MastData->QvxcatSource;
  FilterForm->show();
  FilterForm->ConditionMemo->setPlainText("ANALOG = True AND PLAYERS = '2'");
  Picture(FilterForm, "filter");
}

}  // namespace
}  // namespace qvx_test
