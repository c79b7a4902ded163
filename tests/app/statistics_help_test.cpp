// The statistics window against counts made by walking the titles, its saved
// chart and copied table; counts with thousands separators; the help pages,
// every one reachable from the contents, shown in the help window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBrowser>
#include <map>
#include <set>

#include "app/CountText.h"
#include "app/HelpWin.h"
#include "app/StatsFrm.h"
#include "engine/dataset/Zavaz6UZ.h"
#include "platform/qt/ansi_text.h"
#include "tests/app/app_test_support.h"

namespace qvx_test {
namespace {

TEST(CountText, GroupsThousandsWithTheLocalesSeparatorOrACommaWithoutOne) {
  EXPECT_EQ(CountText(1000000, QLocale::c()), "1,000,000");
  EXPECT_EQ(CountText(999, QLocale::c()), "999");
  EXPECT_EQ(CountText(1000, QLocale(QLocale::English, QLocale::UnitedStates)), "1,000");
  EXPECT_EQ(CountText(1234567, QLocale(QLocale::German, QLocale::Germany)), "1.234.567");
  EXPECT_EQ(CountText(0, QLocale::c()), "0");
}

TEST(Breakdown, KeepsTheLargestValuesAndSumsTheOthers) {
  std::vector<std::pair<std::string, int64_t>> shares;
  for (int i = 0; i < 25; ++i) shares.emplace_back("Value " + std::to_string(i), 100 - i);
  shares.emplace_back("", 1);
  TBreakdown b = MakeBreakdown("Developers", "Developer", shares, 20);
  ASSERT_EQ(b.Rows.size(), 21u);
  EXPECT_EQ(b.Rows[0].first, "Value 0");
  EXPECT_EQ(b.Rows[19].second, 81);
  EXPECT_EQ(b.Rows[20], (std::pair<QString, int64_t>("Others", 80 + 79 + 78 + 77 + 76 + 1)));
  EXPECT_EQ(b.Total, 2201);
  b = MakeBreakdown("Players", "Players", {{"", 3}, {"1-2", 2}}, 0);
  EXPECT_EQ(b.Rows[0].first, "(none)");
  b = MakeBreakdown("Analog", "Analog", {{"True", 3}, {"False", 2}}, 0, true);
  EXPECT_EQ(b.Rows[0], (std::pair<QString, int64_t>("Yes", 3)));
  EXPECT_EQ(b.Rows[1], (std::pair<QString, int64_t>("No", 2)));
}

class StatisticsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    qvx_test::EnsureApplication();
    MakeSampleCatalog(dir_.path(), 1000);
    titles_.SetDatabaseName(dir_.path());
    titles_.SetTableName("QVXCAT.DBF");
    titles_.SetIndexFiles({"QVXCAT.CDX"});
    titles_.SetIndexName("TITLE");
    titles_.SetExclusive(true);
    titles_.Open();
  }
  // Titles per value of a field, counted record by record.
  std::map<QString, int64_t> Walk(const char* field, bool boolean = false) {
    std::map<QString, int64_t> counts;
    for (titles_.First(); !titles_.Eof(); titles_.Next()) {
      platform::TField* f = titles_.FieldByName(field);
      QString value = boolean ? QString(f->AsBoolean() ? "Yes" : "No")
                              : platform::qt::AnsiToQString(f->AsString());
      ++counts[value.isEmpty() ? QString("(none)") : value];
    }
    return counts;
  }
  static std::map<QString, int64_t> Shown(const TBreakdown& b) {
    return std::map<QString, int64_t>(b.Rows.begin(), b.Rows.end());
  }

  TempDir dir_;
  devazoz::TDevazozDataSet titles_;
};

TEST_F(StatisticsTest, BreakdownsAgreeWithCountingTheTitlesAlsoWithinAFilter) {
  TStatisticsForm form;
  form.Fill(titles_);
  ASSERT_EQ(form.Tabs()->count(), 6);
  const auto& b = form.Breakdowns();
  EXPECT_EQ(b[0].Caption, "Categories");
  EXPECT_EQ(Shown(b[0]), Walk("CATEGORY"));
  EXPECT_EQ(Shown(b[1]), Walk("DEVELOPER"));
  EXPECT_EQ(Shown(b[2]), Walk("DISTRIBUTR"));
  EXPECT_EQ(Shown(b[3]), Walk("PLAYERS"));
  EXPECT_EQ(Shown(b[4]), Walk("ANALOG", true));
  EXPECT_EQ(Shown(b[5]), Walk("DUALSHOCK", true));
  EXPECT_EQ(form.SummaryLabel()->text(), "1,000 titles");
  // The table shows what the breakdown holds, most frequent first.
  QTableWidget* table = form.Table(0);
  ASSERT_EQ(table->rowCount(), int(b[0].Rows.size()));
  EXPECT_EQ(table->item(0, 0)->text(), b[0].Rows[0].first);
  EXPECT_EQ(table->item(0, 1)->text(), CountText(b[0].Rows[0].second));
  for (int r = 1; r < table->rowCount(); ++r)
    EXPECT_GE(b[0].Rows[size_t(r - 1)].second, b[0].Rows[size_t(r)].second);

  titles_.SetFilter("ANALOG");
  titles_.SetFiltered(true);
  titles_.SetQuickSearch("crimson");
  form.Fill(titles_);
  EXPECT_EQ(Shown(form.Breakdowns()[0]), Walk("CATEGORY"));
  EXPECT_EQ(Shown(form.Breakdowns()[4]),
            (std::map<QString, int64_t>{{"Yes", form.Breakdowns()[0].Total}}));
  EXPECT_TRUE(form.SummaryLabel()->text().contains("within the filter"));
}

TEST_F(StatisticsTest, ChartsSaveAsPicturesAndTablesCopyAsLines) {
  TStatisticsForm form;
  form.Fill(titles_);
  form.resize(800, 500);
  form.show();
  QApplication::processEvents();
  const QString file = QString::fromStdString(dir_.File("categories.png"));
  ASSERT_TRUE(form.SaveChart(0, file));
  QImage image(file);
  EXPECT_FALSE(image.isNull());
  EXPECT_GT(image.width(), 100);
  form.CopyTableClick(3);
  const QStringList lines = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), int(form.Breakdowns()[3].Rows.size()) + 1);
  EXPECT_EQ(lines[0], "Players\tTitles\tShare");
  EXPECT_TRUE(lines[1].startsWith(form.Breakdowns()[3].Rows[0].first + '\t'));
  const Qt::WindowFlags flags = form.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}

// ---- Help

TEST(HelpPages, EveryPageIsReachableFromTheContentsAndEveryLinkLeadsToAPage) {
  qvx_test::EnsureApplication();
  THelpWindow* help = THelpWindow::ShowTopic();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help, THelpWindow::Shared());
  EXPECT_EQ(help->CurrentPage(), "index.html");
  const QStringList pages = QDir(":/help").entryList({"*.html"});
  EXPECT_GE(pages.size(), 10);
  // Walk the links from the contents: every page is met, every link resolves.
  std::set<QString> seen{"index.html"};
  QStringList queue{"index.html"};
  const QRegularExpression link("href=\"([^\"#]+)\"");
  while (!queue.isEmpty()) {
    const QString page = queue.takeFirst();
    QFile f(":/help/" + page);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << page.toStdString();
    const QString html = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(html.contains("<title>")) << page.toStdString();
    for (auto it = link.globalMatch(html); it.hasNext();) {
      const QString target = it.next().captured(1);
      if (target.startsWith("http")) continue;
      EXPECT_TRUE(pages.contains(target)) << page.toStdString() << " -> " << target.toStdString();
      if (seen.insert(target).second) queue << target;
    }
  }
  EXPECT_EQ(int(seen.size()), pages.size());
  for (const char* topic : {"find.html", "filters.html", "shortcuts.html", "maintenance.html"}) {
    EXPECT_EQ(THelpWindow::ShowTopic(topic), help);
    EXPECT_EQ(help->CurrentPage(), topic);
    EXPECT_FALSE(help->Browser()->toPlainText().isEmpty());
  }
  help->BackClick();
  EXPECT_EQ(help->CurrentPage(), "shortcuts.html");
  EXPECT_TRUE(help->windowTitle().contains("Keyboard shortcuts"));
  help->ContentsClick();
  EXPECT_EQ(help->CurrentPage(), "index.html");
  help->close();
  QApplication::processEvents();
}

}  // namespace
}  // namespace qvx_test
