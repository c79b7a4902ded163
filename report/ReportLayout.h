// Pages of a report, laid out as they are asked for (see the page model in
// report/Report.h). A layout walks the report's row source for as long as it
// lives: the source's controls are disabled and its position is restored when
// the layout is destroyed.
//
// Only the start of each page (a bookmark) is kept for every page; the content
// of recently used pages is cached and rebuilt from its start when needed
// again, so a preview of a million rows holds little more than its bookmarks.
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

  const TReport& report_;
  TReportDataSource& source_;
  TReportFontCache fonts_;
  std::map<const TReportControl*, std::vector<Part>> expressions_;
  std::vector<PageStart> starts_;  // starts_[i]: where page i + 1 begins
  bool complete_ = false;
  bool at_frontier_ = true;  // the source stands at starts_.back()
  std::map<int, std::shared_ptr<TReportPageContent>> cache_;
  std::list<int> recent_;  // most recently used page first
  std::shared_ptr<TReportPageContent> current_;
};

#endif  // REPORT_REPORTLAYOUT_H_
