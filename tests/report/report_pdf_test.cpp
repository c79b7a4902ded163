// Reports written to PDF and read back: page count, headers and page numbers on
// every page, rows in order, wrapped text inside its column; printing and the
// preview window driven without a user.
#include <gtest/gtest.h>

#include <QFile>
#include <QMessageBox>
#include <QPrinter>
#include <QPushButton>
#include <functional>

#include "report/Report.h"
#include "report/ReportLayout.h"
#include "report/ReportPageView.h"
#include "report/ReportPreview.h"
#include "report/ReportPrinting.h"
#include "report/ReportProgress.h"
#include "tests/report/report_test_support.h"
#include "tests/support_qt/qt_test.h"

namespace {

using qvx_test::PdfPageCount;
using qvx_test::PdfPages;
using qvx_test::PdfText;
using qvx_test::PdfWords;
using qvx_test::TPdfWord;

void MakeList(TReport& r) {
  r.ReportTitle = "Title List";
  TReportBand* title = r.AddBand("Title", TReportBandType::Title, 10.58);
  TReportLabel* caption = title->AddLabel("Caption", "Title List");
  caption->AlignToBand = true;
  caption->Alignment = TReportAlignment::Center;
  caption->Font.Size = 14;
  caption->Font.Bold = true;
  TReportBand* header = r.AddBand("Header", TReportBandType::ColumnHeader, 5.82);
  TReportLabel* h1 = header->AddLabel("H1", "Title");
  h1->Left = 0.26;
  h1->Width = 63.5;
  h1->Font.Bold = true;
  h1->FrameBottom = true;
  TReportLabel* h2 = header->AddLabel("H2", "Category");
  h2->Left = 66.68;
  h2->Width = 45.77;
  h2->Font.Bold = true;
  TReportBand* detail = r.AddBand("Detail", TReportBandType::Detail, 4.76);
  TReportExpr* e1 = detail->AddExpr("E1", "[NAME]");
  e1->Left = 0.26;
  e1->Width = 63.5;
  e1->Height = 3.97;
  e1->WordWrap = true;
  e1->AutoStretch = true;
  TReportExpr* e2 = detail->AddExpr("E2", "[CATEGORY]");
  e2->Left = 66.68;
  e2->Width = 45.77;
  e2->Height = 3.97;
  TReportBand* footer = r.AddBand("Footer", TReportBandType::PageFooter, 10.58);
  TReportSysData* page = footer->AddSysData("PageNo", TReportSysDataKind::PageNumber, "Page ");
  page->Left = 165.36;
  page->Top = 6.35;
  page->Width = 19.31;
  page->Alignment = TReportAlignment::Right;
}

std::vector<QStringList> Rows(int n) {
  std::vector<QStringList> rows;
  for (int i = 1; i <= n; ++i) rows.push_back({QString("Item%1").arg(i, 4, 10, QChar('0')), "Cat"});
  return rows;
}

class ReportPdfTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureReportApp(); }
  void TearDown() override { ReportPrintDialogs() = saved_dialogs_; }
  std::string File(const char* name) const { return dir_.File(name); }
  // No printers: printing writes the PDF file `pdf`.
  void PrintToPdfFile(const std::string& pdf) {
    ReportPrintDialogs().HavePrinters = [] { return false; };
    ReportPrintDialogs().ChoosePdfFile = [pdf](QWidget*, const QString&) {
      return QString::fromStdString(pdf);
    };
  }
  qvx_test::TempDir dir_;
  TReportPrintDialogs saved_dialogs_ = ReportPrintDialogs();
};

TEST_F(ReportPdfTest, FiveHundredRowsGiveTheImpliedPagesEachWithHeaderAndNumber) {
  TMemorySource source({"NAME", "CATEGORY"}, Rows(500));
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  const std::string pdf = File("list.pdf");
  ASSERT_EQ(report.ExportToPdf(QString::fromStdString(pdf)), 10);  // 51 + 9 * 53 >= 500
  EXPECT_EQ(PdfPageCount(pdf), 10);
  const std::vector<std::string> pages = PdfPages(pdf);
  ASSERT_EQ(pages.size(), 10u);
  size_t next_row = 1;
  for (size_t p = 0; p < pages.size(); ++p) {
    const std::string& text = pages[p];
    EXPECT_NE(text.find("Page " + std::to_string(p + 1)), std::string::npos) << "page " << p + 1;
    EXPECT_NE(text.find("Title"), std::string::npos);
    EXPECT_NE(text.find("Category"), std::string::npos);
    EXPECT_EQ(text.find("Title List") != std::string::npos, p == 0);
    // Rows continue in order from page to page.
    size_t at = 0;
    for (;;) {
      char name[16];
      std::snprintf(name, sizeof name, "Item%04zu", next_row);
      size_t found = text.find(name, at);
      if (found == std::string::npos) break;
      at = found;
      ++next_row;
    }
  }
  EXPECT_EQ(next_row, 501u);
}

TEST_F(ReportPdfTest, LongTitlesWrapInsideTheirColumn) {
  const QString solid = "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMN";
  ASSERT_EQ(solid.size(), 40);
  const QString words = "Go To The Big Red Box By The Old Oak Up On A Hill";
  TMemorySource source({"NAME", "CATEGORY"}, {{solid, "One"}, {words, "Two"}, {"Tail", "Three"}});
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  const std::string pdf = File("wrap.pdf");
  ASSERT_EQ(report.ExportToPdf(QString::fromStdString(pdf)), 1);
  const double column_left = (12.7 + 0.26) * 72 / 25.4;
  const double column_right = (12.7 + 0.26 + 63.5) * 72 / 25.4;
  std::string solid_seen, words_seen;
  double solid_top = 1e9, solid_bottom = 0, words_top = 1e9, words_bottom = 0, tail_top = 0;
  for (const TPdfWord& w : PdfWords(pdf)) {
    if (w.text == "Tail") tail_top = w.y_min;
    if (w.x_max > column_right + 0.5) {
      // Only the other columns' words may lie right of the title column.
      EXPECT_TRUE(w.text == "One" || w.text == "Two" || w.text == "Three" || w.text == "Category" ||
                  w.text == "Page" || w.text == "1" || w.text == "List" || w.text == "Title")
          << w.text << " ends at " << w.x_max;
      continue;
    }
    if (w.x_min < column_left - 0.5) continue;
    const QString text = QString::fromStdString(w.text);
    if (text.size() >= 5 && text.toUpper() == text) {  // a piece of the solid title
      solid_seen += w.text;
      solid_top = std::min(solid_top, w.y_min);
      solid_bottom = std::max(solid_bottom, w.y_max);
    } else if (words.contains(text) && w.y_min > solid_top) {
      words_seen += w.text + " ";
      words_top = std::min(words_top, w.y_min);
      words_bottom = std::max(words_bottom, w.y_max);
    }
  }
  EXPECT_EQ(QString::fromStdString(solid_seen), solid);
  EXPECT_EQ(QString::fromStdString(words_seen).trimmed(), words);
  // Both took more than one line, and the rows below moved down.
  EXPECT_GT(solid_bottom - solid_top, 12);
  EXPECT_GT(words_bottom - words_top, 12);
  EXPECT_GT(words_top, solid_bottom - 1);
  EXPECT_GT(tail_top, words_bottom - 1);
}

TEST_F(ReportPdfTest, PrintingWithoutPrintersWritesTheChosenPdf) {
  TMemorySource source({"NAME", "CATEGORY"}, Rows(60));
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  TReportPrintDialogs saved = ReportPrintDialogs();
  const std::string pdf = File("printed.pdf");
  int asked = 0;
  ReportPrintDialogs().HavePrinters = [] { return false; };
  ReportPrintDialogs().ChoosePrinter = [](QPrinter&, QWidget*) {
    ADD_FAILURE() << "no print dialog without printers";
    return false;
  };
  ReportPrintDialogs().ChoosePdfFile = [&](QWidget*, const QString&) {
    ++asked;
    return QString::fromStdString(pdf);
  };
  report.Print();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(PdfPageCount(pdf), 2);
  EXPECT_NE(PdfText(pdf).find("Item0060"), std::string::npos);

  // Declining the file prints nothing; an empty report asks nothing.
  QFile::remove(QString::fromStdString(pdf));
  ReportPrintDialogs().ChoosePdfFile = [&](QWidget*, const QString&) {
    ++asked;
    return QString();
  };
  report.Print();
  EXPECT_FALSE(QFile::exists(QString::fromStdString(pdf)));
  TMemorySource empty({"NAME", "CATEGORY"}, {});
  report.SetDataSource(&empty);
  report.PrintIfEmpty = false;
  report.Print();
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(source.begins, source.ends);
  ReportPrintDialogs() = saved;
}

TEST_F(ReportPdfTest, PrintCancelledFromItsProgressWindowLeavesNoPdf) {
  TMemorySource source({"NAME", "CATEGORY"}, Rows(3000));
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  const std::string pdf = File("cancelled.pdf");
  PrintToPdfFile(pdf);
  qvx_test::ModalAnswers answers;
  answers.Then([](QWidget* window) {
    auto* progress = qobject_cast<TReportProgress*>(window);
    ASSERT_NE(progress, nullptr) << window->metaObject()->className();
    auto* cancel = progress->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    cancel->click();
  });
  report.Print();
  EXPECT_EQ(answers.Pending(), 0);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(pdf)));
  EXPECT_EQ(source.begins, source.ends);
}

TEST_F(ReportPdfTest, APdfThatCannotBeWrittenNamesTheFileAndLeavesNothing) {
  TMemorySource source({"NAME", "CATEGORY"}, Rows(60));
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  const std::string pdf = File("no such folder/list.pdf");
  auto names_the_file = [&](const std::function<void()>& work) {
    try {
      work();
      ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
      EXPECT_NE(std::string(e.what()).find(pdf), std::string::npos) << e.what();
    }
  };
  names_the_file([&] { report.ExportToPdf(QString::fromStdString(pdf)); });

  PrintToPdfFile(pdf);
  names_the_file([&] { report.Print(); });
  {
    // The preview window says so in an error box and stays usable.
    auto layout = report.CreateLayout();
    TReportPreview preview(report, *layout);
    preview.show();
    qvx_test::ModalAnswers answers;
    answers.Button(QMessageBox::Ok);
    preview.ExportPdfClick();
    ASSERT_EQ(answers.Seen().size(), 1u);
    EXPECT_EQ(answers.Seen()[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(answers.Seen()[0].text.contains(QString::fromStdString(pdf)));
    EXPECT_EQ(preview.CurrentPage(), 1);
  }
  EXPECT_FALSE(QFile::exists(QString::fromStdString(pdf)));
  EXPECT_EQ(source.begins, source.ends);
}

TEST_F(ReportPdfTest, PreviewPagesZoomsAndExports) {
  TMemorySource source({"NAME", "CATEGORY"}, Rows(300));
  source.SetPosition(7);
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  {
    auto layout = report.CreateLayout();
    TReportPreview preview(report, *layout);
    preview.resize(800, 600);
    preview.show();
    EXPECT_EQ(preview.CurrentPage(), 1);
    EXPECT_FALSE(layout->Complete());
    preview.NextPageClick();
    EXPECT_EQ(preview.CurrentPage(), 2);
    preview.LastPageClick();
    EXPECT_EQ(preview.CurrentPage(), 6);
    preview.NextPageClick();
    EXPECT_EQ(preview.CurrentPage(), 6);
    preview.PriorPageClick();
    EXPECT_EQ(preview.CurrentPage(), 5);
    preview.FirstPageClick();
    EXPECT_EQ(preview.CurrentPage(), 1);

    preview.FitWidthClick();
    const double fit_width = preview.PageView()->Zoom();
    preview.FitPageClick();
    const double fit_page = preview.PageView()->Zoom();
    EXPECT_LT(fit_page, fit_width);
    EXPECT_LE(preview.PageView()->height(), 600);

    TReportPrintDialogs saved = ReportPrintDialogs();
    const std::string pdf = File("exported.pdf");
    ReportPrintDialogs().ChoosePdfFile = [&](QWidget*, const QString&) {
      return QString::fromStdString(pdf);
    };
    preview.ExportPdfClick();
    EXPECT_EQ(PdfPageCount(pdf), 6);
    EXPECT_EQ(preview.CurrentPage(), 1);

    // Printing from the window without printers writes the chosen PDF too.
    const std::string printed = File("printed_from_preview.pdf");
    ReportPrintDialogs().HavePrinters = [] { return false; };
    ReportPrintDialogs().ChoosePdfFile = [&](QWidget*, const QString&) {
      return QString::fromStdString(printed);
    };
    preview.PrintClick();
    ReportPrintDialogs() = saved;
    EXPECT_EQ(PdfPageCount(printed), 6);
    EXPECT_EQ(PdfText(printed), PdfText(pdf));
  }
  EXPECT_EQ(source.Position(), 7u);
  EXPECT_EQ(source.begins, 1);
  EXPECT_EQ(source.ends, 1);
}

}  // namespace
