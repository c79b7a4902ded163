// TStatisticsForm (Reports > Statistics): the catalog's breakdowns, titles per
// category, developer, distributor and number of players and with or without
// analog and vibration support, each as a bar chart beside its table, within
// the filter and quick search in force. A chart saves as a PNG picture; a
// table copies to the clipboard as tab-separated lines.
//
// The counts come from the title table's dataset (Breakdown), which answers them
// from its digest of the table: a million titles take a few milliseconds per
// breakdown once the digest is read.
#ifndef APP_STATSFRM_H_
#define APP_STATSFRM_H_

#include <QDialog>
#include <QString>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class QChartView;
class QLabel;
class QTabWidget;
class QTableWidget;

namespace devazoz {
class TDevazozDataSet;
}

// One breakdown as the window shows it: the largest values, then the rest
// together as "Others".
struct TBreakdown {
  QString Caption;  // "Categories"
  QString Column;   // "Category"
  std::vector<std::pair<QString, int64_t>> Rows;
  int64_t Total = 0;
};

// The top `top` values of `shares` (most frequent first), the others summed in
// one row "Others" when there are any; an empty value reads "(none)". `top`
// 0 keeps every value. Boolean values read "Yes" and "No".
TBreakdown MakeBreakdown(const QString& caption, const QString& column,
                         const std::vector<std::pair<std::string, int64_t>>& shares, size_t top,
                         bool boolean = false);

class TStatisticsForm : public QDialog {
  Q_OBJECT

 public:
  explicit TStatisticsForm(QWidget* parent = nullptr);

  // Counts the breakdowns of `titles` (the catalog's title table) and shows them.
  void Fill(devazoz::TDevazozDataSet& titles);
  int ShowModal();

  const std::vector<TBreakdown>& Breakdowns() const { return breakdowns_; }
  QTabWidget* Tabs() const { return tabs_; }
  QLabel* SummaryLabel() const { return summary_; }
  QChartView* ChartView(int tab) const;
  QTableWidget* Table(int tab) const;

  // The table of a tab as tab-separated lines, with a heading line.
  QString TableText(int tab) const;
  void CopyTableClick(int tab);
  // Writes the tab's chart to `file` (PNG); false when it cannot be written.
  bool SaveChart(int tab, const QString& file);
  void SaveChartClick(int tab);

 private:
  void Clear();
  void AddTab(const TBreakdown& breakdown);

  QLabel* summary_;
  QTabWidget* tabs_;
  std::vector<TBreakdown> breakdowns_;
};

extern TStatisticsForm* StatisticsForm;

#endif  // APP_STATSFRM_H_
