// The rows a report walks. The report engine knows nothing of tables or the
// catalog: it walks whatever gives it this interface, in the order and within
// the filter that the source has when the walk begins.
#ifndef REPORT_REPORTDATASOURCE_H_
#define REPORT_REPORTDATASOURCE_H_

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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

  // For the pages of a report whose rows grow with their text (optional too):
  // the rows, by their 0-based place in the walk and ascending, whose text in one
  // of `columns` is wide. The source may leave a text out as narrow only when the
  // sum of `char_width` over its characters stays within the column's width and
  // it holds no control character; of the others `wide` decides (the column's
  // index, the text as FieldText gives it). False when the source cannot tell
  // without walking.
  struct TextColumn {
    int field = -1;    // FieldIndex
    double width = 0;  // in the unit of char_width
  };
  virtual bool WideRows(const std::vector<TextColumn>& columns,
                        const std::function<double(QChar)>& char_width,
                        const std::function<bool(size_t column, const QString& text)>& wide,
                        std::vector<int64_t>& rows) {
    (void)columns, (void)char_width, (void)wide, (void)rows;
    return false;
  }
  // Puts the walk on the row at 0-based place `row`; false when it cannot.
  virtual bool GotoRow(int64_t row) {
    (void)row;
    return false;
  }
};

#endif  // REPORT_REPORTDATASOURCE_H_
