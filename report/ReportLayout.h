// Pages of a report, laid out as they are asked for (see the page model in
// report/Report.h). A layout walks the report's row source for as long as it
// lives: the source's controls are disabled and its position is restored when
// the layout is destroyed.
//
// Only the start of each page (a bookmark) is kept for every page; the content
// of recently used pages is cached and rebuilt from its start when needed
// again, so a preview of a million rows holds little more than its bookmarks.
//
// Going far ahead (the last page of a million rows) does not lay out the pages
// before it when the source tells how many rows it has and the height of every
// row is known without laying it out: where each page begins is then worked out
// at once by placing the rows' heights as pages are filled, and page n begins on
// a row the source is put on directly (GotoRow) or by stepping from the nearest
// place known (the end of the rows, the last page laid out, a page gone to
// before). A row keeps the detail band's height unless a control of the band
// stretches with its text: the source then names the rows whose text may wrap
// (WideRows: sums of the widest each character can be leave out nearly every
// row without measuring it), and only those rows are visited and measured, as
// the pages will place them. Should the source disagree with its own count or
// a page built come out otherwise than worked out, the layout forgets what it
// worked out and lays pages out one after the other as before. The count must
// be exact: stepping back from the end cannot tell a wrong one, which would
// number the last pages wrongly (their rows stay right).
#ifndef REPORT_REPORTLAYOUT_H_
#define REPORT_REPORTLAYOUT_H_

#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "report/Report.h"
#include "report/ReportRender.h"

class TReportLayout {
 public:
  // REQUIRES: the report has a data source. Begins the walk; throws when an
  // expression names a field that the source does not have.
  explicit TReportLayout(const TReport& report);
  ~TReportLayout();
  TReportLayout(const TReportLayout&) = delete;
  TReportLayout& operator=(const TReportLayout&) = delete;

  // Page n (1-based), laid out up to it if needed; nullptr past the last page.
  // The pointer stays valid until the next call of Page or LayOutMore.
  const TReportPageContent* Page(int n);

  // Lays out up to `pages` further pages; true when every page is laid out.
  bool LayOutMore(int pages);
  bool Complete() const { return complete_; }
  int PagesLaidOut() const { return int(starts_.size()) - (complete_ ? 0 : 1); }
  // Lays out every page and gives their number.
  int PageCount();
  // The number of pages without laying them out (see above); -1 when only
  // laying them out tells.
  int KnownPageCount();

  TReportFontCache& Fonts() { return fonts_; }

 private:
  struct Part {  // a piece of an expression: literal text or a field
    QString text;
    int field = -1;
  };
  struct PageStart {
    std::string bookmark;
    bool eof = false;
  };

  void Compile();
  QString Text(const TReportControl& control, int page);
  // Places `band` at `top` on the page; returns its height.
  double PlaceBand(const TReportBand& band, double top, int page_number, TReportPageContent& page);
  // Builds page n from its start; the source is left at the next page's start.
  std::shared_ptr<TReportPageContent> Build(int n, bool& last);
  void LayOutNext();
  void Remember(int n, std::shared_ptr<TReportPageContent> page);
  // Works out where every page begins (page_starts_) when every row's height is
  // known without laying the pages out; false when only laying them out tells.
  bool PlanPages();
  // The rows that grow (row -> height) from the source; false when it cannot tell.
  bool TallRows(const TReportBand& detail, std::map<int64_t, double>& tall);
  int64_t StartRow(int n) const;
  // Lays out page n with the source put on its first row by stepping from the
  // nearest known place; null when the source disagreed with its count.
  std::shared_ptr<TReportPageContent> JumpTo(int n);
  bool MoveSourceToRow(int64_t row);
  void ForgetJumps();

  const TReport& report_;
  TReportDataSource& source_;
  TReportFontCache fonts_;
  std::map<const TReportControl*, std::vector<Part>> expressions_;
  std::vector<PageStart> starts_;  // starts_[i]: where page i + 1 begins
  bool complete_ = false;
  bool at_frontier_ = true;           // the source stands at starts_.back()
  std::map<int, PageStart> jumped_;   // starts of pages reached by a jump
  int64_t row_count_ = -1;            // the source's count, once planned
  int plan_ = -1;                     // PlanPages worked out: -1 not yet, 0 no, 1 yes
  std::vector<int64_t> page_starts_;  // page_starts_[i]: the first row of page i + 1
  int built_rows_ = 0;                // rows the last Build placed
  std::map<int, std::shared_ptr<TReportPageContent>> cache_;
  std::list<int> recent_;  // most recently used page first
  std::shared_ptr<TReportPageContent> current_;
};

#endif  // REPORT_REPORTLAYOUT_H_
