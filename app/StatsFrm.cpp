#include "app/StatsFrm.h"

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "app/CountText.h"
#include "engine/dataset/Zavaz6UZ.h"
#include "platform/qt/ansi_text.h"

TStatisticsForm* StatisticsForm = nullptr;

namespace {

// The largest values shown one by one; the rest are summed as "Others".
constexpr size_t kTopValues = 20;

struct Wanted {
  const char* field;
  const char* caption;
  const char* column;
  size_t top;
  bool boolean;
};

const Wanted kWanted[] = {
    {"CATEGORY", "Categories", "Category", kTopValues, false},
    {"DEVELOPER", "Developers", "Developer", kTopValues, false},
    {"DISTRIBUTR", "Distributors", "Distributor", kTopValues, false},
    {"PLAYERS", "Players", "Players", 0, false},
    {"ANALOG", "Analog", "Analog", 0, true},
    {"DUALSHOCK", "Vibration", "Dual Shock", 0, true},
};

QString Percent(int64_t part, int64_t whole) {
  return whole > 0 ? QLocale().toString(100.0 * double(part) / double(whole), 'f', 1) + " %"
                   : QString();
}

}  // namespace

TBreakdown MakeBreakdown(const QString& caption, const QString& column,
                         const std::vector<std::pair<std::string, int64_t>>& shares, size_t top,
                         bool boolean) {
  TBreakdown b;
  b.Caption = caption;
  b.Column = column;
  int64_t others = 0;
  for (size_t i = 0; i < shares.size(); ++i) {
    b.Total += shares[i].second;
    if (top > 0 && i >= top) {
      others += shares[i].second;
      continue;
    }
    QString value = platform::qt::AnsiToQString(shares[i].first);
    if (boolean) value = shares[i].first == "True" ? QString("Yes") : QString("No");
    if (value.trimmed().isEmpty()) value = "(none)";
    b.Rows.emplace_back(value, shares[i].second);
  }
  if (others > 0) b.Rows.emplace_back(QString("Others"), others);
  return b;
}

TStatisticsForm::TStatisticsForm(QWidget* parent) : QDialog(parent) {
  setObjectName("StatisticsForm");
  setWindowTitle("Statistics");
  // Resizable, for the charts, but a dialog: a close button and no more.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  summary_ = new QLabel(this);
  summary_->setObjectName("SummaryLabel");
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("Tabs");
  auto* close = new QPushButton("Close", this);
  close->setObjectName("CloseBtn");
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary_);
  layout->addWidget(tabs_, 1);
  layout->addLayout(buttons);
  QSize size(900, 600);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    size = size.boundedTo(area.size() * 9 / 10);
  }
  resize(size);
}

void TStatisticsForm::Clear() {
  while (tabs_->count() > 0) {
    QWidget* page = tabs_->widget(0);
    tabs_->removeTab(0);
    delete page;
  }
  breakdowns_.clear();
}

void TStatisticsForm::Fill(devazoz::TDevazozDataSet& titles) {
  Clear();
  for (const Wanted& w : kWanted)
    breakdowns_.push_back(
        MakeBreakdown(w.caption, w.column, titles.Breakdown(w.field), w.top, w.boolean));
  const int64_t shown = breakdowns_.empty() ? 0 : breakdowns_.front().Total;
  const bool narrowed = titles.Filtered() || !titles.QuickSearch().empty();
  QString text = CountText(shown) + (shown == 1 ? " title" : " titles");
  if (narrowed) text += " within the filter and quick search in force";
  summary_->setText(text);
  for (const TBreakdown& b : breakdowns_) AddTab(b);
}

void TStatisticsForm::AddTab(const TBreakdown& b) {
  const int tab = tabs_->count();
  auto* page = new QWidget;
  page->setObjectName(b.Caption);

  // Bars from the top down in table order: the axis lists categories bottom up.
  auto* set = new QBarSet("Titles");
  QStringList labels;
  int64_t most = 0;
  for (auto it = b.Rows.rbegin(); it != b.Rows.rend(); ++it) {
    *set << double(it->second);
    labels << it->first;
    most = std::max(most, it->second);
  }
  auto* series = new QHorizontalBarSeries;
  series->append(set);
  series->setLabelsVisible(true);
  series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
  series->setLabelsFormat("@value");
  auto* chart = new QChart;
  chart->addSeries(series);
  chart->setTitle("Titles per " + b.Column.toLower());
  chart->legend()->hide();
  chart->setAnimationOptions(QChart::NoAnimation);
  auto* names = new QBarCategoryAxis;
  names->append(labels);
  chart->addAxis(names, Qt::AlignLeft);
  series->attachAxis(names);
  // Whole numbers at a round step (1, 2 or 5 times a power of ten), at most six
  // ticks, with room beyond the longest bar for its figure.
  double step = 1;
  while (double(most) * 1.15 / step > 6) {
    const double decade = std::pow(10.0, std::floor(std::log10(step)));
    step = step / decade < 2 ? 2 * decade : step / decade < 5 ? 5 * decade : 10 * decade;
  }
  auto* counts = new QValueAxis;
  counts->setRange(0, std::ceil(std::max(double(most) * 1.15, 1.0) / step) * step);
  counts->setTickType(QValueAxis::TicksDynamic);
  counts->setTickAnchor(0);
  counts->setTickInterval(step);
  counts->setLabelFormat("%.0f");
  chart->addAxis(counts, Qt::AlignBottom);
  series->attachAxis(counts);
  auto* view = new QChartView(chart, page);
  view->setObjectName("ChartView");
  view->setRenderHint(QPainter::Antialiasing);
  view->setMinimumWidth(360);

  auto* table = new QTableWidget(int(b.Rows.size()), 3, page);
  table->setObjectName("Table");
  table->setHorizontalHeaderLabels({b.Column, "Titles", "Share"});
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->verticalHeader()->hide();
  for (int r = 0; r < int(b.Rows.size()); ++r) {
    const auto& [value, count] = b.Rows[size_t(r)];
    table->setItem(r, 0, new QTableWidgetItem(value));
    auto* number = new QTableWidgetItem(CountText(count));
    number->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table->setItem(r, 1, number);
    auto* share = new QTableWidgetItem(Percent(count, b.Total));
    share->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table->setItem(r, 2, share);
  }
  table->resizeColumnsToContents();
  table->horizontalHeader()->setStretchLastSection(true);

  auto* save = new QPushButton("&Save Chart...", page);
  save->setObjectName("SaveChartBtn");
  auto* copy = new QPushButton("&Copy Table", page);
  copy->setObjectName("CopyTableBtn");
  connect(save, &QPushButton::clicked, this, [this, tab] { SaveChartClick(tab); });
  connect(copy, &QPushButton::clicked, this, [this, tab] { CopyTableClick(tab); });

  auto* splitter = new QSplitter(Qt::Horizontal, page);
  splitter->addWidget(view);
  splitter->addWidget(table);
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(save);
  buttons->addWidget(copy);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(splitter, 1);
  layout->addLayout(buttons);
  tabs_->addTab(page, b.Caption);
}

QChartView* TStatisticsForm::ChartView(int tab) const {
  QWidget* page = tabs_->widget(tab);
  return page ? page->findChild<QChartView*>("ChartView") : nullptr;
}

QTableWidget* TStatisticsForm::Table(int tab) const {
  QWidget* page = tabs_->widget(tab);
  return page ? page->findChild<QTableWidget*>("Table") : nullptr;
}

QString TStatisticsForm::TableText(int tab) const {
  if (tab < 0 || size_t(tab) >= breakdowns_.size()) return QString();
  const TBreakdown& b = breakdowns_[size_t(tab)];
  QString text = b.Column + "\tTitles\tShare\n";
  for (const auto& [value, count] : b.Rows)
    text += value + '\t' + QString::number(count) + '\t' + Percent(count, b.Total) + '\n';
  return text;
}

void TStatisticsForm::CopyTableClick(int tab) {
  QGuiApplication::clipboard()->setText(TableText(tab));
}

bool TStatisticsForm::SaveChart(int tab, const QString& file) {
  QChartView* view = ChartView(tab);
  if (!view) return false;
  return view->grab().save(file, "PNG");
}

void TStatisticsForm::SaveChartClick(int tab) {
  if (tab < 0 || size_t(tab) >= breakdowns_.size()) return;
  const QString suggested = breakdowns_[size_t(tab)].Caption.toLower() + ".png";
  const QString file =
      QFileDialog::getSaveFileName(this, "Save Chart", suggested, "PNG pictures (*.png)");
  if (file.isEmpty()) return;
  if (!SaveChart(tab, file))
    QMessageBox::critical(this, "Save Chart", "Cannot write " + file + ".");
}

int TStatisticsForm::ShowModal() { return exec(); }
