// The catalog list report in the program: it lists the title table in its
// current order and filter whatever view is shown, one page after another as
// the band heights say, long titles wrapped in their column; the preview, Print
// and Print Setup without printers; the about box.
#include "app/QvxLiRpt.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <utility>

#include "app/AboutDlg.h"
#include "app/DataMod.h"
#include "app/Main.h"
#include "engine/foundation/gs6_dbsy.h"
#include "report/ReportLayout.h"
#include "report/ReportPreview.h"
#include "report/ReportPrinting.h"
#include "tests/app/app_test_support.h"
#include "tests/support/pdf_text.h"

namespace qvx_test {
namespace {

struct TitleRow {
  std::string title, category;
};

std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Every title of the catalog in record order, read with the engine alone.
std::vector<TitleRow> ReadTitles(const std::string& dir) {
  devazoz::GSO_dBaseFld table(dir + "/QVXCAT.DBF", false, true);
  std::vector<TitleRow> rows;
  for (int32_t n = 1; n <= table.RecordCount(); ++n) {
    table.ReadRecord(n);
    rows.push_back({table.GetStrByName("TITLE"), Trimmed(table.GetStrByName("CATEGORY"))});
  }
  return rows;
}

// Titles as the report lists them: the first column of each detail line.
std::vector<std::string> ListedTitles(const std::string& pdf) {
  std::vector<std::string> titles;
  for (const std::string& page : PdfPages(pdf)) {
    size_t at = 0;
    bool in_rows = false;
    while (at < page.size()) {
      size_t end = page.find('\n', at);
      if (end == std::string::npos) end = page.size();
      std::string line = page.substr(at, end - at);
      at = end + 1;
      if (line.find("Mem. Blocks") != std::string::npos) {
        in_rows = true;
        continue;
      }
      if (!in_rows || line.find_first_not_of(' ') == std::string::npos) continue;
      if (line.find("Page ") != std::string::npos && line.find_first_not_of(' ') > 60) continue;
      const size_t first = line.find_first_not_of(' ');
      const size_t gap = line.find("  ", first);
      titles.push_back(line.substr(first, gap == std::string::npos ? gap : gap - first));
    }
  }
  return titles;
}

class ListReportTest : public ProgramFixture {
 protected:
  void SetUp() override {
    saved_ = ReportPrintDialogs();
    ReportPrintDialogs().HavePrinters = [] { return false; };
    ReportPrintDialogs().ChoosePrinter = [](QPrinter&, QWidget*) {
      ADD_FAILURE() << "a print dialog without printers";
      return false;
    };
    ReportPrintDialogs().ChoosePdfFile = [this](QWidget*, const QString&) {
      ++files_asked_;
      return QString::fromStdString(pdf_);
    };
  }
  void TearDown() override {
    ReportPrintDialogs() = saved_;
    ProgramFixture::TearDown();
  }
  void StartOn(int titles, const std::function<void(const std::string&)>& change = {}) {
    MakeSampleCatalog(dir_.path(), titles);
    if (change) change(dir_.path());
    rows_ = ReadTitles(dir_.path());
    pdf_ = dir_.File("printed.pdf");
    Start(dir_.path());
  }
  std::string CurrentTitle() { return MastData->QvxcatTable.FieldByName("TITLE")->AsString(); }

  TempDir dir_;
  std::string pdf_;
  std::vector<TitleRow> rows_;
  int files_asked_ = 0;
  TReportPrintDialogs saved_;
};

TEST_F(ListReportTest, OneCategoryInTitleOrderListsExactlyThoseTitles) {
  StartOn(200);
  TDevazozDataSet& table = MastData->QvxcatTable;
  RunAsEvent([&] {
    table.SetIndexName("CATEGORY");
    table.SetFilter("CATEGORY = \"Racing\"");
    table.SetFiltered(true);
    table.SetIndexName("TITLE");
    table.MoveBy(2);
  });
  const std::string before = CurrentTitle();
  RunAsEvent([] { MainForm->FilePrintClick(); });
  EXPECT_EQ(files_asked_, 1);

  std::vector<std::string> expected;
  for (const TitleRow& r : rows_)
    if (r.category == "Racing") expected.push_back(Trimmed(r.title));
  std::stable_sort(expected.begin(), expected.end());
  ASSERT_GT(expected.size(), 10u);
  EXPECT_EQ(ListedTitles(pdf_), expected);
  // The walk left the table where it was, still filtered and in title order.
  EXPECT_EQ(CurrentTitle(), before);
  EXPECT_TRUE(table.Filtered());
  EXPECT_EQ(table.IndexName(), "TITLE");
  EXPECT_FALSE(table.ControlsDisabled());
}

TEST_F(ListReportTest, PrintingFromTheCategoriesViewStillListsTheTitles) {
  StartOn(48);
  RunAsEvent([] { MainForm->GoCategoriesClick(); });
  ASSERT_EQ(MainForm->CurrentView(), 2);
  RunAsEvent([] { MainForm->FilePrintClick(); });
  std::vector<std::string> expected;
  for (const TitleRow& r : rows_) expected.push_back(Trimmed(r.title));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ListedTitles(pdf_), expected);
  EXPECT_EQ(MainForm->CurrentView(), 2);
}

TEST_F(ListReportTest, FiveHundredTitlesFillThePagesTheBandHeightsImply) {
  StartOn(500);
  RunAsEvent([] { MainForm->FilePrintClick(); });
  // A4 less two 12.7 mm margins; title 10.58, column header 5.82, footer 10.58,
  // detail 4.76 mm.
  const double body = 297 - 2 * 12.7 - 10.58;
  const int first = int(std::floor((body - 10.58 - 5.82) / 4.76));
  const int later = int(std::floor((body - 5.82) / 4.76));
  const int pages = 1 + (500 - first + later - 1) / later;
  ASSERT_EQ(PdfPageCount(pdf_), pages);
  const std::vector<std::string> texts = PdfPages(pdf_);
  ASSERT_EQ(int(texts.size()), pages);
  for (int p = 0; p < pages; ++p) {
    const std::string& t = texts[size_t(p)];
    EXPECT_NE(t.find("Page " + std::to_string(p + 1)), std::string::npos) << "page " << p + 1;
    for (const char* header : {"Title", "Category", "Distributor", "Players", "Mem. Blocks"})
      EXPECT_NE(t.find(header), std::string::npos) << header << " on page " << p + 1;
    EXPECT_EQ(t.find("QVX Catalog List") != std::string::npos, p == 0);
  }
  EXPECT_EQ(ListedTitles(pdf_).size(), 500u);
}

TEST_F(ListReportTest, LongTitlesWrapInsideTheTitleColumn) {
  const std::string solid = "QWERTYUIOPASDFGHJKLZXCVBNMQWERTYUIOPASDF";  // 40, no blank
  // 40 characters too, in thirteen short words and a last letter, wider than the column.
  std::string words;
  for (int i = 0; i < 13; ++i) words += "WM ";
  words += "W";
  StartOn(3, [&](const std::string& dir) {
    devazoz::GSO_dBHandler table(dir + "/QVXCAT.DBF", true, false);
    ASSERT_EQ(table.OpenIndexFile(dir + "/QVXCAT.CDX"), 0);
    for (const std::string& title : {solid, words}) {
      table.BlankRecord();
      table.PutStrByName("TITLE", title);
      table.PutStrByName("CATEGORY", "Puzzle");
      table.AppendRecord();
    }
  });
  RunAsEvent([] { MainForm->FilePrintClick(); });
  const double left = (12.7 + 0.26) * 72 / 25.4, right = (12.7 + 0.26 + 63.5) * 72 / 25.4;
  const double next_column = (12.7 + 66.68) * 72 / 25.4;
  std::string solid_seen;
  std::vector<double> solid_lines;
  int short_words = 0;
  std::set<double> word_lines;
  for (const TPdfWord& w : PdfWords(pdf_)) {
    // Nothing of the title column runs into the category column.
    if (w.x_min < next_column - 1) {
      EXPECT_LE(w.x_max, right + 0.5) << w.text;
    }
    if (w.x_min >= left - 0.5 && w.x_max <= right + 0.5 && w.text.size() >= 5 &&
        solid.find(w.text) != std::string::npos) {
      solid_seen += w.text;
      solid_lines.push_back(w.y_min);
    }
    if (w.x_max <= right + 0.5 && (w.text == "WM" || w.text == "W")) {
      ++short_words;
      word_lines.insert(w.y_min);
    }
  }
  EXPECT_EQ(solid_seen, solid);
  EXPECT_GE(solid_lines.size(), 2u);  // wrapped onto a second line
  EXPECT_EQ(short_words, 14);
  EXPECT_GE(word_lines.size(), 2u);
}

// Each control's lines and rectangle on a page.
std::vector<std::pair<QString, QRectF>> PageItems(const TReportPageContent* page) {
  std::vector<std::pair<QString, QRectF>> items;
  if (page)
    for (const TReportItem& item : page->Items) items.emplace_back(item.Lines.join("|"), item.Rect);
  return items;
}

// Titles that wrap in their column stretch their rows, yet the preview knows
// its pages at once: the last page and those before it, reached from the end,
// are the pages that paging forward from the first gives, in title order and
// under a filter.
TEST_F(ListReportTest, WrappingTitlesLeaveTheLastPageAtOnceAndAsPagingForwardGivesIt) {
  StartOn(400, [&](const std::string& dir) {
    devazoz::GSO_dBHandler table(dir + "/QVXCAT.DBF", true, false);
    ASSERT_EQ(table.OpenIndexFile(dir + "/QVXCAT.CDX"), 0);
    for (int i = 0; i < 60; ++i) {
      std::string title = std::string(1, char('A' + i % 26));
      for (int w = 0; w < 6 + i % 8; ++w) title += " WMW";
      table.BlankRecord();
      table.PutStrByName("TITLE", title);
      table.PutStrByName("CATEGORY", i % 2 ? "Racing" : "Puzzle");
      table.AppendRecord();
    }
  });
  TReport& report = *QvxListReportForm->QuickRep1;
  for (bool filtered : {false, true}) {
    if (filtered) {
      RunAsEvent([] {
        MastData->QvxcatTable.SetFilter("CATEGORY <> \"Puzzle\"");
        MastData->QvxcatTable.SetFiltered(true);
      });
    }
    std::vector<std::vector<std::pair<QString, QRectF>>> forward;
    int wrapped = 0;
    {
      auto layout = report.CreateLayout();
      for (int n = 1; const TReportPageContent* page = layout->Page(n); ++n) {
        forward.push_back(PageItems(page));
        for (const TReportItem& item : page->Items) wrapped += item.Lines.size() > 1;
      }
    }
    ASSERT_GT(forward.size(), 3u);
    EXPECT_GT(wrapped, 20);
    auto layout = report.CreateLayout();
    EXPECT_EQ(layout->KnownPageCount(), int(forward.size())) << filtered;
    for (int n = int(forward.size()); n >= 1; --n)
      EXPECT_EQ(PageItems(layout->Page(n)), forward[size_t(n - 1)]) << n << " " << filtered;
  }
}

TEST_F(ListReportTest, PreviewShowsTheFirstPageAndPutsTheTableBack) {
  StartOn(120);
  RunAsEvent([] { MastData->QvxcatTable.MoveBy(7); });
  const std::string before = CurrentTitle();
  ModalAnswers answerer;
  int shown_page = -1;
  QString caption;
  answerer.Then([&](QWidget* modal) {
    auto* preview = qobject_cast<TReportPreview*>(modal);
    ASSERT_NE(preview, nullptr) << modal->metaObject()->className();
    shown_page = preview->CurrentPage();
    caption = preview->windowTitle();
    preview->NextPageClick();
    preview->LastPageClick();
    EXPECT_EQ(preview->CurrentPage(), 3);
    preview->accept();
  });
  RunAsEvent([] { MainForm->FilePrintPreviewClick(); });
  EXPECT_EQ(answerer.Pending(), 0);
  EXPECT_EQ(shown_page, 1);
  EXPECT_TRUE(caption.contains("QVX Catalog List"));
  EXPECT_EQ(CurrentTitle(), before);
  EXPECT_FALSE(MastData->QvxcatTable.ControlsDisabled());
}

TEST_F(ListReportTest, EmptyCatalogPrintsNothingAndAsksNothing) {
  StartOn(48);
  RunAsEvent([] {
    MastData->QvxcatTable.SetFilter("CATEGORY = \"No such category\"");
    MastData->QvxcatTable.SetFiltered(true);
  });
  RunAsEvent([] { MainForm->FilePrintClick(); });
  EXPECT_EQ(files_asked_, 0);
}

TEST_F(ListReportTest, PrintSetupDialogClosesCleanlyWithoutPrinters) {
  StartOn(48);
  ReportPrintDialogs() = saved_;
  ReportPrintDialogs().HavePrinters = [] { return false; };
  ModalAnswers answerer;
  answerer.Then([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
  RunAsEvent([] { MainForm->FilePrintSetupClick(); });
  EXPECT_EQ(answerer.Pending(), 0);
}

TEST_F(ListReportTest, ReportLayoutIsTheCatalogList) {
  StartOn(48);
  TReport& r = *QvxListReportForm->QuickRep1;
  EXPECT_DOUBLE_EQ(r.Page.PrintableWidth(), 184.6);
  EXPECT_FALSE(r.PrintIfEmpty);
  EXPECT_EQ(r.Band(TReportBandType::Title), QvxListReportForm->TitleBand1);
  EXPECT_DOUBLE_EQ(QvxListReportForm->DetailBand1->Height, 4.76);
  EXPECT_EQ(QvxListReportForm->QRExpr5->Expression, "[DISTRIBUTR]");
  EXPECT_DOUBLE_EQ(QvxListReportForm->QRExpr5->Left, 114.30);
  EXPECT_DOUBLE_EQ(QvxListReportForm->QRLabel6->Left, 114.56);
  EXPECT_EQ(QvxListReportForm->QRSysData1->Text, "Page ");
  EXPECT_DOUBLE_EQ(QvxListReportForm->QRSysData1->Top, 6.35);
  EXPECT_TRUE(QvxListReportForm->QRLabel1->AlignToBand);
  EXPECT_TRUE(QvxListReportForm->isHidden());
}

TEST_F(ListReportTest, AboutBoxShowsTitleVersionPictureLicenceAndCredit) {
  StartOn(48);
  EXPECT_EQ(AboutDialog->windowTitle(), "About");
  EXPECT_EQ(AboutDialog->Label1->text(), "QVX Catalog");
  EXPECT_EQ(AboutDialog->Label2->text(), "Version 1.0.0.0");
  EXPECT_EQ(AboutDialog->Image1->size(), QSize(46, 48));
  EXPECT_FALSE(AboutDialog->Image1->pixmap().isNull());
  // No web page of its own: the line credits the icons, and a click opens nothing.
  EXPECT_TRUE(AboutDialog->HomePage().isEmpty());
  EXPECT_TRUE(AboutDialog->Label6->text().contains("Adwaita"));
  EXPECT_TRUE(AboutDialog->Label4->text().contains("GNU General Public License"));
  EXPECT_EQ(AboutDialog->Label6->cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(AboutDialog->OKBtn->isDefault());
  ModalAnswers answerer;
  answerer.Then([](QWidget* modal) {
    auto* box = qobject_cast<TAboutDialog*>(modal);
    ASSERT_NE(box, nullptr);
    box->OKBtn->click();
  });
  int result = -1;
  RunAsEvent([&] { result = AboutDialog->ShowModal(); });
  EXPECT_EQ(result, QDialog::Accepted);
}

}  // namespace
}  // namespace qvx_test
