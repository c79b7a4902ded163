#include "report/ReportLayout.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <stdexcept>

namespace {

constexpr size_t kCachedPages = 48;
// A page this close to the last one laid out is laid out in turn, not jumped to.
constexpr int kLayOutAhead = 3;
// A text whose characters, each taken at the widest it can be, fill at most this
// share of its column surely fits on one line: kerning never widens a line by a
// tenth.
constexpr double kSureFit = 0.9;
// Past this many rows that grow, laying the pages out is as quick as visiting them.
constexpr size_t kMostTallRows = 20000;

}  // namespace

TReportLayout::TReportLayout(const TReport& report)
    : report_(report), source_(*report.DataSource()) {
  source_.BeginWalk();
  try {
    Compile();
    source_.First();
    PageStart first;
    first.eof = source_.Eof();
    if (!first.eof) first.bookmark = source_.Bookmark();
    starts_.push_back(first);
    if (first.eof && !report_.PrintIfEmpty) {
      starts_.clear();
      complete_ = true;
    }
  } catch (...) {
    source_.EndWalk();
    throw;
  }
}

TReportLayout::~TReportLayout() { source_.EndWalk(); }

void TReportLayout::Compile() {
  for (TReportBandType type :
       {TReportBandType::PageHeader, TReportBandType::Title, TReportBandType::ColumnHeader,
        TReportBandType::Detail, TReportBandType::PageFooter}) {
    const TReportBand* band = report_.Band(type);
    if (!band) continue;
    for (const auto& control : band->Controls) {
      auto* expr = dynamic_cast<const TReportExpr*>(control.get());
      if (!expr) continue;
      std::vector<Part> parts;
      const QString& e = expr->Expression;
      int i = 0;
      while (i < e.size()) {
        int open = e.indexOf('[', i);
        if (open < 0) open = int(e.size());
        if (open > i) parts.push_back({e.mid(i, open - i), -1});
        if (open >= e.size()) break;
        const int close = e.indexOf(']', open + 1);
        if (close < 0)
          throw std::runtime_error("Missing ] in the expression of " + expr->Name.toStdString());
        const QString name = e.mid(open + 1, close - open - 1).trimmed();
        const int field = source_.FieldIndex(name);
        if (field < 0)
          throw std::runtime_error("Field '" + name.toStdString() + "' not found (" +
                                   expr->Name.toStdString() + ")");
        parts.push_back({QString(), field});
        i = close + 1;
      }
      expressions_[expr] = std::move(parts);
    }
  }
}

QString TReportLayout::Text(const TReportControl& control, int page) {
  if (auto* label = dynamic_cast<const TReportLabel*>(&control)) return label->Caption;
  if (auto* sys = dynamic_cast<const TReportSysData*>(&control))
    return sys->Text + QString::number(page);
  auto it = expressions_.find(&control);
  if (it == expressions_.end()) return QString();
  if (it->second.size() == 1 && it->second[0].field >= 0)
    return source_.FieldText(it->second[0].field);
  QString text;
  for (const Part& part : it->second)
    text += part.field >= 0 ? source_.FieldText(part.field) : part.text;
  return text;
}

double TReportLayout::PlaceBand(const TReportBand& band, double top, int page_number,
                                TReportPageContent& page) {
  const TReportPage& paper = report_.Page;
  const double left = paper.LeftMargin;
  const double band_width = paper.PrintableWidth();
  double grow = 0;
  for (const auto& owned : band.Controls) {
    const TReportControl& c = *owned;
    TReportItem item;
    item.Control = &c;
    item.Font = c.ParentFont ? &report_.Font : &c.Font;
    const double x = c.AlignToBand ? left : left + c.Left;
    const double w = c.AlignToBand ? band_width : c.Width;
    const QString text = Text(c, page_number);
    if (c.WordWrap) {
      const QFontMetricsF& m = fonts_.Metrics(*item.Font);
      item.Lines = WrapReportText(text, m, w * kReportUnitsPerMm);
    } else {
      item.Lines = QStringList{text};
    }
    double h = c.Height;
    if (c.AutoStretch && item.Lines.size() > 1) {
      const double needed =
          item.Lines.size() * fonts_.Metrics(*item.Font).height() / kReportUnitsPerMm;
      if (needed > h) {
        grow = std::max(grow, needed - h);
        h = needed;
      }
    }
    item.Rect = QRectF(x, top + c.Top, w, h);
    page.Items.push_back(std::move(item));
  }
  const double height = band.Height + grow;
  page.Bands.push_back({QRectF(left, top, band_width, height), band.Color});
  return height;
}

std::shared_ptr<TReportPageContent> TReportLayout::Build(int n, bool& last) {
  const TReportPage& paper = report_.Page;
  auto page = std::make_shared<TReportPageContent>();
  page->Number = n;
  const TReportBand* header = report_.Band(TReportBandType::PageHeader);
  const TReportBand* title = report_.Band(TReportBandType::Title);
  const TReportBand* column = report_.Band(TReportBandType::ColumnHeader);
  const TReportBand* detail = report_.Band(TReportBandType::Detail);
  const TReportBand* footer = report_.Band(TReportBandType::PageFooter);

  double y = paper.TopMargin;
  if (header && (n > 1 || report_.Options.FirstPageHeader)) y += PlaceBand(*header, y, n, *page);
  if (title && n == 1) y += PlaceBand(*title, y, n, *page);
  if (column) y += PlaceBand(*column, y, n, *page);

  const double footer_height = footer ? footer->Height : 0;
  const double limit = paper.Height() - paper.BottomMargin - footer_height;
  int rows = 0;
  if (detail) {
    while (!source_.Eof()) {
      const size_t items_before = page->Items.size();
      const size_t bands_before = page->Bands.size();
      const double h = PlaceBand(*detail, y, n, *page);
      if (y + h > limit + 1e-6 && rows > 0) {
        page->Items.resize(items_before);
        page->Bands.resize(bands_before);
        break;
      }
      if (y + h > limit + 1e-6) {
        // Taller than an empty page holds: clip it at the footer.
        for (size_t i = items_before; i < page->Items.size(); ++i) {
          QRectF& r = page->Items[i].Rect;
          r.setBottom(std::min(r.bottom(), limit));
        }
        page->Bands.back().Rect.setBottom(limit);
      }
      y += h;
      ++rows;
      source_.Next();
    }
  } else {
    while (!source_.Eof()) source_.Next();
  }
  built_rows_ = rows;
  last = source_.Eof();
  if (footer && (!last || report_.Options.LastPageFooter))
    PlaceBand(*footer, paper.Height() - paper.BottomMargin - footer->Height, n, *page);
  return page;
}

void TReportLayout::Remember(int n, std::shared_ptr<TReportPageContent> page) {
  cache_[n] = std::move(page);
  recent_.remove(n);
  recent_.push_front(n);
  while (recent_.size() > kCachedPages) {
    cache_.erase(recent_.back());
    recent_.pop_back();
  }
}

void TReportLayout::LayOutNext() {
  const int n = int(starts_.size());
  const PageStart& start = starts_.back();
  if (!at_frontier_ && !start.eof) source_.GotoBookmark(start.bookmark);
  // Only an empty report printed anyway starts a page at the end of the rows.
  if (start.eof) source_.First();
  at_frontier_ = true;
  bool last = false;
  auto page = Build(n, last);
  Remember(n, std::move(page));
  if (last) {
    complete_ = true;
  } else {
    PageStart next;
    next.bookmark = source_.Bookmark();
    starts_.push_back(next);
  }
}

const TReportPageContent* TReportLayout::Page(int n) {
  if (n < 1) return nullptr;
  auto cached = [&]() -> const TReportPageContent* {
    auto it = cache_.find(n);
    if (it == cache_.end()) return nullptr;
    current_ = it->second;
    recent_.remove(n);
    recent_.push_front(n);
    return current_.get();
  };
  if (const TReportPageContent* page = cached()) return page;
  if (!complete_ && n > PagesLaidOut()) {
    const int known = KnownPageCount();
    if (known >= 0 && n > known) return nullptr;
    if (known >= 0 && n > PagesLaidOut() + kLayOutAhead) {
      if (auto page = JumpTo(n)) {
        Remember(n, page);
        current_ = std::move(page);
        return current_.get();
      }
    }
    while (!complete_ && PagesLaidOut() < n) LayOutNext();
  }
  if (n > PagesLaidOut()) return nullptr;
  if (const TReportPageContent* page = cached()) return page;
  // Evicted: rebuild it from its start.
  const PageStart& start = starts_[n - 1];
  if (start.eof)
    source_.First();
  else
    source_.GotoBookmark(start.bookmark);
  at_frontier_ = false;
  bool last = false;
  current_ = Build(n, last);
  Remember(n, current_);
  return current_.get();
}

bool TReportLayout::LayOutMore(int pages) {
  for (int i = 0; i < pages && !complete_; ++i) LayOutNext();
  return complete_;
}

int TReportLayout::PageCount() {
  while (!complete_) LayOutNext();
  return PagesLaidOut();
}

bool TReportLayout::TallRows(const TReportBand& detail, std::map<int64_t, double>& tall) {
  const TReportPage& paper = report_.Page;
  std::vector<TReportDataSource::TextColumn> columns;
  std::vector<const TReportControl*> controls;
  for (const auto& owned : detail.Controls) {
    const TReportControl& c = *owned;
    // Without word wrap a control keeps its one line.
    if (!c.AutoStretch || !c.WordWrap) continue;
    // A text that changes from row to row is a field's alone.
    auto* expr = dynamic_cast<const TReportExpr*>(&c);
    auto parts = expr ? expressions_.find(expr) : expressions_.end();
    if (parts == expressions_.end() || parts->second.size() != 1 || parts->second[0].field < 0)
      return false;
    const double w = c.AlignToBand ? paper.PrintableWidth() : c.Width;
    columns.push_back({parts->second[0].field, w * kReportUnitsPerMm});
    controls.push_back(&c);
  }
  if (columns.empty()) return true;
  auto metrics = [&](size_t i) -> const QFontMetricsF& {
    const TReportControl& c = *controls[i];
    return fonts_.Metrics(c.ParentFont ? report_.Font : c.Font);
  };
  // The widest a character is in any of the columns' fonts.
  std::map<char16_t, double> widest;
  auto char_width = [&](QChar ch) {
    auto [it, added] = widest.try_emplace(ch.unicode(), 0.0);
    if (added)
      for (size_t i = 0; i < controls.size(); ++i)
        it->second = std::max(it->second, metrics(i).horizontalAdvance(QString(ch)));
    return it->second;
  };
  std::vector<TReportDataSource::TextColumn> sure = columns;
  for (auto& column : sure) column.width *= kSureFit;
  std::vector<int64_t> rows;
  const bool told = source_.WideRows(
      sure, char_width,
      [&](size_t i, const QString& text) {
        return WrapReportText(text, metrics(i), columns[i].width).size() > 1;
      },
      rows);
  if (!told || rows.size() > kMostTallRows) return false;
  // Measured as the pages will place them.
  at_frontier_ = false;
  for (int64_t row : rows) {
    if (!source_.GotoRow(row) || source_.Eof()) return false;
    TReportPageContent scratch;
    const double h = PlaceBand(detail, 0, 1, scratch);
    if (h != detail.Height) tall[row] = h;
  }
  return true;
}

bool TReportLayout::PlanPages() {
  if (plan_ >= 0) return plan_ == 1;
  plan_ = 0;
  const TReportBand* detail = report_.Band(TReportBandType::Detail);
  if (!detail || !(detail->Height > 0)) return false;
  for (TReportBandType type : {TReportBandType::PageHeader, TReportBandType::Title,
                               TReportBandType::ColumnHeader, TReportBandType::PageFooter}) {
    if (const TReportBand* band = report_.Band(type))
      for (const auto& control : band->Controls)
        if (control->AutoStretch) return false;
  }
  row_count_ = source_.RowCount();
  // No rows: whether a page is printed anyway is the sequential layout's business.
  if (row_count_ <= 0) return false;
  std::map<int64_t, double> tall;
  if (!TallRows(*detail, tall)) return false;

  // The rows placed as Build places them, the same sums in the same order.
  const TReportPage& paper = report_.Page;
  const TReportBand* header = report_.Band(TReportBandType::PageHeader);
  const TReportBand* title = report_.Band(TReportBandType::Title);
  const TReportBand* column = report_.Band(TReportBandType::ColumnHeader);
  const TReportBand* footer = report_.Band(TReportBandType::PageFooter);
  auto top = [&](int64_t n) {
    double y = paper.TopMargin;
    if (header && (n > 1 || report_.Options.FirstPageHeader)) y += header->Height;
    if (title && n == 1) y += title->Height;
    if (column) y += column->Height;
    return y;
  };
  const double limit = paper.Height() - paper.BottomMargin - (footer ? footer->Height : 0);
  std::vector<int64_t> starts{0};
  double y = top(1);
  int64_t on_page = 0;
  auto next_tall = tall.begin();
  for (int64_t row = 0; row < row_count_;) {
    const bool grows = next_tall != tall.end() && next_tall->first == row;
    const double h = grows ? next_tall->second : detail->Height;
    if (y + h > limit + 1e-6 && on_page > 0) {
      if (starts.size() >= size_t(INT_MAX)) return false;
      starts.push_back(row);
      y = top(int64_t(starts.size()));
      on_page = 0;
      continue;
    }
    y += h;
    ++on_page;
    ++row;
    if (grows) ++next_tall;
  }
  page_starts_ = std::move(starts);
  plan_ = 1;
  return true;
}

int TReportLayout::KnownPageCount() {
  if (complete_) return PagesLaidOut();
  if (!PlanPages()) return -1;
  return int(page_starts_.size());
}

int64_t TReportLayout::StartRow(int n) const { return n <= 1 ? 0 : page_starts_[size_t(n - 1)]; }

bool TReportLayout::MoveSourceToRow(int64_t row) {
  if (source_.GotoRow(row)) return !source_.Eof();
  // From the nearest of: the last row, the next page to lay out, a page jumped to.
  int64_t at = row_count_ - 1;
  const std::string* mark = nullptr;
  auto consider = [&](int64_t from, const std::string* bookmark) {
    if (std::llabs(row - from) < std::llabs(row - at)) {
      at = from;
      mark = bookmark;
    }
  };
  if (!starts_.empty() && !starts_.back().eof)
    consider(StartRow(int(starts_.size())), &starts_.back().bookmark);
  for (const auto& [page, start] : jumped_) consider(StartRow(page), &start.bookmark);
  if (mark)
    source_.GotoBookmark(*mark);
  else
    source_.Last();
  for (; at < row; ++at) {
    source_.Next();
    if (source_.Eof()) return false;
  }
  for (; at > row; --at) {
    source_.Prior();
    if (source_.Bof()) return false;
  }
  return true;
}

std::shared_ptr<TReportPageContent> TReportLayout::JumpTo(int n) {
  at_frontier_ = false;
  auto known = jumped_.find(n);
  if (known != jumped_.end()) {
    source_.GotoBookmark(known->second.bookmark);
  } else if (!MoveSourceToRow(StartRow(n))) {
    ForgetJumps();
    return nullptr;
  }
  PageStart start;
  start.bookmark = source_.Bookmark();
  bool last = false;
  auto page = Build(n, last);
  const int64_t rows = (n < KnownPageCount() ? StartRow(n + 1) : row_count_) - StartRow(n);
  if (last != (n == KnownPageCount()) || built_rows_ != rows) {
    ForgetJumps();
    return nullptr;
  }
  jumped_[n] = std::move(start);
  return page;
}

void TReportLayout::ForgetJumps() {
  plan_ = 0;
  page_starts_.clear();
  for (const auto& [page, start] : jumped_) {
    if (page <= PagesLaidOut()) continue;
    cache_.erase(page);
    recent_.remove(page);
  }
  jumped_.clear();
}
