// The rows a report walks. The report engine knows nothing of tables or the
// catalog: it walks whatever gives it this interface, in the order and within
// the filter that the source has when the walk begins.
#ifndef REPORT_REPORTDATASOURCE_H_
#define REPORT_REPORTDATASOURCE_H_

#include <QString>
#include <cstdint>
#include <string>

class TReportDataSource {
 public:
  virtual ~TReportDataSource() = default;

  // A walk starts with BeginWalk (controls bound to the source stop following
  // it and its position is remembered) and ends with EndWalk (the remembered
  // position is restored and the controls follow again). Walks do not nest.
  virtual void BeginWalk() = 0;
  virtual void EndWalk() = 0;

  virtual void First() = 0;
  virtual void Next() = 0;
  virtual bool Eof() = 0;

  // Index of a field by name (case-insensitive), -1 when there is none; valid
  // until the walk ends.
  virtual int FieldIndex(const QString& name) = 0;
  // Text of field `index` of the current row, trailing blanks removed.
  virtual QString FieldText(int index) = 0;

  // Opaque mark of the current row, and going back to a marked row.
  virtual std::string Bookmark() = 0;
  virtual void GotoBookmark(const std::string& bookmark) = 0;

  // For going to the last pages without walking every row before them (all
  // optional): how many rows the walk meets, -1 when that is not known cheaply;
  // the last row, the row before, and whether a step back ran off the start.
  virtual int64_t RowCount() { return -1; }
  virtual void Last() {}
  virtual void Prior() {}
  virtual bool Bof() { return true; }
};

#endif  // REPORT_REPORTDATASOURCE_H_
