// The page model: rows per page from band heights, headers and footers on the
// right pages, word wrap within a column, lazy layout and the source's walk.
#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <cmath>

#include "report/Report.h"
#include "report/ReportLayout.h"
#include "report/ReportRender.h"
#include "tests/report/report_test_support.h"

namespace {

constexpr double kTitle = 10.58, kColumnHeader = 5.82, kDetail = 4.76, kFooter = 10.58;

std::vector<QStringList> Rows(int n, const QString& prefix = "Row") {
  std::vector<QStringList> rows;
  for (int i = 1; i <= n; ++i) rows.push_back({QString("%1 %2").arg(prefix).arg(i), "Cat"});
  return rows;
}

// A list report: title, column header, detail with two fields, page footer.
void MakeList(TReport& r) {
  r.ReportTitle = "List";
  TReportBand* title = r.AddBand("Title", TReportBandType::Title, kTitle);
  TReportLabel* caption = title->AddLabel("Caption", "The List");
  caption->AlignToBand = true;
  caption->Alignment = TReportAlignment::Center;
  caption->Font.Size = 14;
  caption->Font.Bold = true;
  caption->Height = 6.09;
  TReportBand* header = r.AddBand("Header", TReportBandType::ColumnHeader, kColumnHeader);
  TReportLabel* h1 = header->AddLabel("H1", "Name");
  h1->Left = 0.26;
  h1->Width = 63.5;
  h1->FrameBottom = true;
  TReportBand* detail = r.AddBand("Detail", TReportBandType::Detail, kDetail);
  TReportExpr* e1 = detail->AddExpr("E1", "[NAME]");
  e1->Left = 0.26;
  e1->Width = 63.5;
  e1->Height = 3.97;
  e1->WordWrap = true;
  e1->AutoStretch = true;
  TReportExpr* e2 = detail->AddExpr("E2", "Category: [CATEGORY]");
  e2->Left = 66.68;
  e2->Width = 45.77;
  e2->Height = 3.97;
  TReportBand* footer = r.AddBand("Footer", TReportBandType::PageFooter, kFooter);
  TReportSysData* page = footer->AddSysData("PageNo", TReportSysDataKind::PageNumber, "Page ");
  page->Left = 165.36;
  page->Top = 6.35;
  page->Width = 19.31;
  page->Height = 3.97;
  page->Alignment = TReportAlignment::Right;
}

// Rows on the first and on later pages, as the band heights imply.
int FirstPageRows() {
  const double space = 297 - 2 * 12.7 - kTitle - kColumnHeader - kFooter;
  return int(std::floor(space / kDetail + 1e-9));
}
int LaterPageRows() {
  const double space = 297 - 2 * 12.7 - kColumnHeader - kFooter;
  return int(std::floor(space / kDetail + 1e-9));
}

QStringList ItemTexts(const TReportPageContent& page, const QString& control) {
  QStringList texts;
  for (const TReportItem& item : page.Items)
    if (item.Control->Name == control) texts << item.Lines.join("");
  return texts;
}

class ReportLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureReportApp(); }
};

TEST_F(ReportLayoutTest, PagesFollowBandHeightsWithHeadersAndFooters) {
  TMemorySource source({"NAME", "CATEGORY"}, Rows(500));
  source.SetPosition(123);
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  {
    TReportLayout layout(report);
    const int first = FirstPageRows(), later = LaterPageRows();
    EXPECT_EQ(first, 51);
    EXPECT_EQ(later, 53);
    const int expected_pages = 1 + (500 - first + later - 1) / later;
    ASSERT_EQ(layout.PageCount(), expected_pages);
    int row = 0;
    for (int n = 1; n <= expected_pages; ++n) {
      const TReportPageContent* page = layout.Page(n);
      ASSERT_NE(page, nullptr);
      const QStringList names = ItemTexts(*page, "E1");
      const int want = n == 1 ? first : std::min(later, 500 - row);
      ASSERT_EQ(names.size(), want) << "page " << n;
      EXPECT_EQ(names.first(), QString("Row %1").arg(row + 1));
      row += want;
      EXPECT_EQ(ItemTexts(*page, "H1"), QStringList{"Name"}) << "page " << n;
      EXPECT_EQ(ItemTexts(*page, "Caption").size(), n == 1 ? 1 : 0);
      EXPECT_EQ(ItemTexts(*page, "PageNo"), QStringList{QString("Page %1").arg(n)});
      EXPECT_EQ(ItemTexts(*page, "E2").first(), "Category: Cat");
      // Nothing reaches into the footer or past the bottom margin.
      for (const TReportItem& item : page->Items) EXPECT_LE(item.Rect.bottom(), 297 - 12.7 + 1e-6);
    }
    EXPECT_EQ(row, 500);
    EXPECT_EQ(layout.Page(expected_pages + 1), nullptr);
  }
  EXPECT_EQ(source.begins, 1);
  EXPECT_EQ(source.ends, 1);
  EXPECT_EQ(source.Position(), 123u);
}

TEST_F(ReportLayoutTest, RowsEndingAtAPageBottomLeaveNoEmptyPage) {
  const int rows = FirstPageRows() + LaterPageRows();
  TMemorySource source({"NAME", "CATEGORY"}, Rows(rows));
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  TReportLayout layout(report);
  EXPECT_EQ(layout.PageCount(), 2);
}

TEST_F(ReportLayoutTest, FirstPageHeaderAndLastPageFooterOptions) {
  TMemorySource source({"NAME", "CATEGORY"}, Rows(120));
  TReport report;
  MakeList(report);
  TReportBand* header = report.AddBand("PageHeader", TReportBandType::PageHeader, 8);
  header->AddLabel("Head", "Running head");
  report.Options.FirstPageHeader = false;
  report.Options.LastPageFooter = false;
  report.SetDataSource(&source);
  TReportLayout layout(report);
  const int pages = layout.PageCount();
  ASSERT_EQ(pages, 3);
  EXPECT_TRUE(ItemTexts(*layout.Page(1), "Head").isEmpty());
  EXPECT_EQ(ItemTexts(*layout.Page(2), "Head").size(), 1);
  EXPECT_EQ(ItemTexts(*layout.Page(2), "PageNo").size(), 1);
  EXPECT_TRUE(ItemTexts(*layout.Page(3), "PageNo").isEmpty());
}

TEST_F(ReportLayoutTest, EmptySourceGivesNoPagesUnlessPrintIfEmpty) {
  TMemorySource source({"NAME", "CATEGORY"}, {});
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  report.PrintIfEmpty = false;
  {
    TReportLayout layout(report);
    EXPECT_EQ(layout.PageCount(), 0);
    EXPECT_EQ(layout.Page(1), nullptr);
  }
  report.PrintIfEmpty = true;
  TReportLayout layout(report);
  ASSERT_EQ(layout.PageCount(), 1);
  EXPECT_EQ(ItemTexts(*layout.Page(1), "Caption").size(), 1);
  EXPECT_TRUE(ItemTexts(*layout.Page(1), "E1").isEmpty());
  EXPECT_EQ(ItemTexts(*layout.Page(1), "PageNo"), QStringList{"Page 1"});
}

TEST_F(ReportLayoutTest, PagesAreLaidOutOnlyAsFarAsAskedAndRebuiltAlike) {
  TMemorySource source({"NAME", "CATEGORY"}, Rows(100000));
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  TReportLayout layout(report);
  ASSERT_NE(layout.Page(1), nullptr);
  EXPECT_FALSE(layout.Complete());
  EXPECT_LE(source.nexts, FirstPageRows() + 1);
  const QStringList page2 = ItemTexts(*layout.Page(2), "E1");
  // Far enough that page 2 leaves the cache; asking again rebuilds it the same.
  ASSERT_NE(layout.Page(200), nullptr);
  EXPECT_EQ(ItemTexts(*layout.Page(2), "E1"), page2);
  // Going on after a rebuild continues where the laid-out pages end.
  const QStringList page201 = ItemTexts(*layout.Page(201), "E1");
  EXPECT_EQ(page201.first(), QString("Row %1").arg(FirstPageRows() + 199 * LaterPageRows() + 1));
}

TEST_F(ReportLayoutTest, UnknownFieldOrBracketIsRefusedAndTheWalkEnds) {
  TMemorySource source({"NAME", "CATEGORY"}, Rows(3));
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  report.Band(TReportBandType::Detail)->AddExpr("Bad", "[NOSUCH]");
  EXPECT_THROW(TReportLayout layout(report), std::runtime_error);
  report.Band(TReportBandType::Detail)->Controls.pop_back();
  report.Band(TReportBandType::Detail)->AddExpr("Bad", "[NAME");
  EXPECT_THROW(TReportLayout layout(report), std::runtime_error);
  EXPECT_EQ(source.begins, source.ends);
}

TEST_F(ReportLayoutTest, WrappedTextStaysInsideItsColumnAndStretchesTheBand) {
  const QString solid(40, 'W');
  const QString words = "A Bb Cc Dd Ee Ff Gg Hh Ii Jj Kk Ll Mm Nn Oo Pp Qq Rr Ss Tt Uu";
  TMemorySource source({"NAME", "CATEGORY"}, {{solid, "x"}, {words, "y"}, {"Short", "z"}});
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  TReportLayout layout(report);
  const TReportPageContent* page = layout.Page(1);
  ASSERT_NE(page, nullptr);
  const QFontMetricsF& m = layout.Fonts().Metrics(TReportFont{});
  std::vector<const TReportItem*> names;
  for (const TReportItem& item : page->Items)
    if (item.Control->Name == "E1") names.push_back(&item);
  ASSERT_EQ(names.size(), 3u);
  for (const TReportItem* item : names) {
    for (const QString& line : item->Lines)
      EXPECT_LE(m.horizontalAdvance(line), 63.5 * kReportUnitsPerMm) << line.toStdString();
  }
  EXPECT_GE(names[0]->Lines.size(), 2);
  EXPECT_EQ(names[0]->Lines.join(""), solid);
  EXPECT_GE(names[1]->Lines.size(), 2);
  EXPECT_EQ(names[1]->Lines.join(" ").simplified(), words);
  // The stretched rows push the next row down by their extra lines.
  EXPECT_GT(names[1]->Rect.top() - names[0]->Rect.top(), kDetail + 1);
  EXPECT_LE(names[0]->Rect.bottom(), names[1]->Rect.top() + 1e-6);
  EXPECT_NEAR(names[2]->Rect.top() - names[1]->Rect.bottom(),
              names[1]->Rect.top() - names[0]->Rect.bottom(), 1e-6);
}

TEST_F(ReportLayoutTest, ControlsWithParentFontUseTheReportsBaseFont) {
  TMemorySource source({"NAME", "CATEGORY"}, Rows(2));
  TReport report;
  MakeList(report);
  report.Font.Size = 20;  // wide enough that "Row 1" no longer fits 10 mm
  TReportControl* name = report.Band(TReportBandType::Detail)->Controls[0].get();
  name->ParentFont = true;
  name->Width = 10;
  report.SetDataSource(&source);
  TReportLayout layout(report);
  const TReportPageContent* page = layout.Page(1);
  ASSERT_NE(page, nullptr);
  for (const TReportItem& item : page->Items) {
    if (item.Control == name) {
      EXPECT_EQ(item.Font, &report.Font);
      EXPECT_GE(item.Lines.size(), 2);
    } else {
      EXPECT_EQ(item.Font, &item.Control->Font);
    }
  }
}

TEST_F(ReportLayoutTest, WrapBreaksAtBlanksThenInsideLongWords) {
  QFont font = ReportQFont(TReportFont{});
  QFontMetricsF m(font);
  const double w = m.horizontalAdvance("abcdefgh");
  EXPECT_EQ(WrapReportText("abc def ghi", m, w), (QStringList{"abc def", "ghi"}));
  const QStringList cut = WrapReportText("abcdefghijklmnopqrstuvwxyz", m, w);
  EXPECT_GE(cut.size(), 3);
  EXPECT_EQ(cut.join(""), "abcdefghijklmnopqrstuvwxyz");
  EXPECT_EQ(WrapReportText("one\r\ntwo", m, w * 4), (QStringList{"one", "two"}));
  EXPECT_EQ(WrapReportText("", m, w), QStringList{""});
}

// Without stretching bands and with a known row count, far pages are reached
// by working out where they begin: the last page of 100,000 rows steps back a
// page's worth of rows from the end, and a page in the middle steps from the
// nearest place known.
TEST_F(ReportLayoutTest, KnownCountReachesFarPagesWithoutLayingOutThoseBefore) {
  const int rows = 100000;
  TMemorySource source({"NAME", "CATEGORY"}, Rows(rows));
  source.told_count = rows;
  TReport report;
  MakeList(report);
  report.Band(TReportBandType::Detail)->Controls[0]->AutoStretch = false;
  report.SetDataSource(&source);
  TReportLayout layout(report);
  const int first = FirstPageRows(), later = LaterPageRows();
  const int pages = 1 + (rows - first + later - 1) / later;
  EXPECT_EQ(layout.KnownPageCount(), pages);
  const TReportPageContent* last = layout.Page(pages);
  ASSERT_NE(last, nullptr);
  const int last_first_row = first + (pages - 2) * later;
  QStringList names = ItemTexts(*last, "E1");
  ASSERT_EQ(names.size(), rows - last_first_row);
  EXPECT_EQ(names.first(), QString("Row %1").arg(last_first_row + 1));
  EXPECT_EQ(names.last(), QString("Row %1").arg(rows));
  EXPECT_EQ(ItemTexts(*last, "PageNo"), QStringList{QString("Page %1").arg(pages)});
  EXPECT_LT(source.nexts + source.priors, 2 * later);
  EXPECT_EQ(layout.Page(pages + 1), nullptr);
  EXPECT_FALSE(layout.Complete());

  const int middle = pages / 2;
  names = ItemTexts(*layout.Page(middle), "E1");
  EXPECT_EQ(names.first(), QString("Row %1").arg(first + (middle - 2) * later + 1));
  EXPECT_EQ(names.size(), later);
  // Pages laid out in turn agree with the pages jumped to.
  EXPECT_EQ(ItemTexts(*layout.Page(2), "E1").first(), QString("Row %1").arg(first + 1));
  for (int n = middle - 60; n <= middle + 1; ++n) ASSERT_NE(layout.Page(n), nullptr) << n;
  EXPECT_EQ(ItemTexts(*layout.Page(middle + 1), "E1").first(),
            QString("Row %1").arg(first + (middle - 1) * later + 1));
  EXPECT_EQ(layout.PageCount(), pages);
}

TEST_F(ReportLayoutTest, StretchingBandsOrACountTheRowsBelieLayPagesOutInTurn) {
  const int rows = 1000;
  TMemorySource stretching({"NAME", "CATEGORY"}, Rows(rows));
  stretching.told_count = rows;
  TReport report;
  MakeList(report);
  report.SetDataSource(&stretching);
  {
    TReportLayout layout(report);
    EXPECT_EQ(layout.KnownPageCount(), -1);
  }
  report.Band(TReportBandType::Detail)->Controls[0]->AutoStretch = false;
  TMemorySource wrong({"NAME", "CATEGORY"}, Rows(rows));
  // Ten times the rows there are: stepping forward to a page a third of the way
  // runs out of rows.
  wrong.told_count = rows * 10;
  report.SetDataSource(&wrong);
  TReportLayout layout(report);
  const int told_pages = layout.KnownPageCount();
  EXPECT_GT(told_pages, 180);
  EXPECT_EQ(layout.Page(told_pages / 3), nullptr);
  // The pages were laid out in turn instead, up to the real last one.
  EXPECT_TRUE(layout.Complete());
  const int pages = layout.PageCount();
  EXPECT_EQ(pages, 1 + (rows - FirstPageRows() + LaterPageRows() - 1) / LaterPageRows());
  EXPECT_EQ(layout.KnownPageCount(), pages);
  EXPECT_EQ(ItemTexts(*layout.Page(pages), "E1").last(), QString("Row %1").arg(rows));
}

// Rows whose names wrap: every seventh over two lines, every 101st over three
// by its line breaks, the rest on one line.
std::vector<QStringList> StretchingRows(int n) {
  std::vector<QStringList> rows = Rows(n);
  for (int i = 0; i < n; ++i) {
    if (i % 7 == 3) rows[size_t(i)][0] = QString("Long ").repeated(16) + QString::number(i + 1);
    if (i % 101 == 50) rows[size_t(i)][0] = QString("Row %1\nsecond\nthird").arg(i + 1);
  }
  return rows;
}

struct PageShape {
  QStringList names;
  std::vector<QRectF> rects;
  bool operator==(const PageShape&) const = default;
};

PageShape Shape(const TReportPageContent* page) {
  PageShape shape;
  if (!page) return shape;
  for (const TReportItem& item : page->Items) {
    shape.names << item.Lines.join("|");
    shape.rects.push_back(item.Rect);
  }
  return shape;
}

// Every page laid out in turn, from the first: what paging forward shows.
std::vector<PageShape> PagesInTurn(const std::vector<QStringList>& rows) {
  TMemorySource source({"NAME", "CATEGORY"}, rows);
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  TReportLayout layout(report);
  std::vector<PageShape> pages;
  for (int n = 1; const TReportPageContent* page = layout.Page(n); ++n)
    pages.push_back(Shape(page));
  return pages;
}

// Rows that stretch do not hide where pages begin when the source names the
// rows that may wrap: only those are visited and measured, the page count is
// known at once, and the last page and those before it, reached from the end,
// are the pages that paging forward from the first gives.
TEST_F(ReportLayoutTest, StretchingRowsNamedBySourceLetLastPageComeAtOnceAsPagingGivesIt) {
  const int count = 3000;
  const std::vector<QStringList> rows = StretchingRows(count);
  const std::vector<PageShape> in_turn = PagesInTurn(rows);
  const int pages = int(in_turn.size());
  ASSERT_GT(pages, 40);

  TMemorySource source({"NAME", "CATEGORY"}, rows);
  source.told_count = count;
  source.tells_widths = true;
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  TReportLayout layout(report);
  EXPECT_EQ(layout.KnownPageCount(), pages);
  // Short names are left out by their characters' widths alone, never measured.
  EXPECT_LT(source.judged, count / 7 + count / 101 + 30);
  int wrapping = 0;
  for (const QStringList& row : rows) wrapping += row[0].size() > 60 || row[0].contains('\n');
  EXPECT_EQ(source.gotos, wrapping);
  source.nexts = 0;
  for (int n = pages; n >= 1; --n) ASSERT_EQ(Shape(layout.Page(n)), in_turn[size_t(n - 1)]) << n;
  EXPECT_EQ(layout.Page(pages + 1), nullptr);
  // The last page was reached by going to its first row, not by walking there.
  EXPECT_LT(source.nexts, 2 * count);
  EXPECT_FALSE(layout.Complete());
  EXPECT_EQ(layout.PageCount(), pages);
}

// A source that calls a wrapping row narrow: the page that holds it comes out
// with a row fewer than worked out, the layout notices and lays the pages out in
// turn from there, so the page after it does not lose a row.
TEST_F(ReportLayoutTest, ARowWronglyCalledNarrowSendsTheLayoutBackToPagesInTurn) {
  const int count = 3000;
  std::vector<QStringList> rows = Rows(count);
  const std::vector<PageShape> in_turn = [&] {
    std::vector<QStringList> truth = rows;
    truth[1500][0] = QString("Long ").repeated(40);
    return PagesInTurn(truth);
  }();
  rows[1500][0] = QString("Long ").repeated(40);
  TMemorySource source({"NAME", "CATEGORY"}, rows);
  source.told_count = count;
  source.tells_widths = true;
  source.hidden_wide = {1500};
  TReport report;
  MakeList(report);
  report.SetDataSource(&source);
  TReportLayout layout(report);
  ASSERT_GT(layout.KnownPageCount(), 0);
  int holding = 0;  // the page that holds row 1501
  for (int n = 1; n <= int(in_turn.size()); ++n)
    for (const QString& name : in_turn[size_t(n - 1)].names)
      if (name.startsWith("Long")) holding = n;
  ASSERT_GT(holding, 10);
  EXPECT_EQ(Shape(layout.Page(holding)), in_turn[size_t(holding - 1)]);
  EXPECT_EQ(Shape(layout.Page(holding + 1)), in_turn[size_t(holding)]);
  EXPECT_EQ(layout.PageCount(), int(in_turn.size()));
  EXPECT_EQ(Shape(layout.Page(int(in_turn.size()))), in_turn.back());
}

// The sum of its characters' advances bounds a text's width in the report's
// fonts within the tenth the layout allows for kerning: a text the sum puts
// within nine tenths of a column never wraps.
TEST_F(ReportLayoutTest, CharacterAdvancesBoundTextWidthWithinATenth) {
  TReportFontCache fonts;
  TReportFont plain, bold;
  bold.Bold = true;
  bold.Size = 14;
  const QStringList texts = {
      "AVAVAVAVAVAV",   "To To Ty Wa Yo LT", "Tiny Tower",
      "ffi fl ffl fi",  "WWWWWWWWWW",        "Pok\u00E9mon \u00C6on \u0152uvre",
      "1111 7777 ....", "L'Y'T'V'W'A'",      "\"quoted\" (p) [q] {r}"};
  for (const TReportFont* font : {&plain, &bold}) {
    const QFontMetricsF& m = fonts.Metrics(*font);
    for (const QString& text : texts) {
      double sum = 0;
      for (QChar c : text) sum += m.horizontalAdvance(QString(c));
      EXPECT_LE(m.horizontalAdvance(text), sum / 0.9) << text.toStdString();
      EXPECT_EQ(WrapReportText(text, m, sum / 0.9).size(), 1) << text.toStdString();
    }
  }
}

}  // namespace
