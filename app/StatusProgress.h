// TStatusProgress: a table's progress reports (the dataset's OnStatus) shown in a
// progress window while the object lives: the repair of a damaged table and the
// reindex offered at open. The reports come as (-1, operation, total) to begin a
// stage, (operation, done, 0) within it and (0, 0, 0) at its end.
//
// The window is made at the first report and shows only once the work has lasted
// a moment (TProgressWindow); the work cannot be stopped half-way, so Cancel is
// disabled. The table's own OnStatus is given back when the object goes.
#ifndef APP_STATUSPROGRESS_H_
#define APP_STATUSPROGRESS_H_

#include <QString>
#include <cstdint>
#include <memory>

#include "app/DataMod.h"

class QWidget;

namespace platform::qt {
class TProgressWindow;
}

class TStatusProgress {
 public:
  // `title`: the window's caption and the work its stages belong to
  // ("Repairing QVXCAT.DBF").
  TStatusProgress(TDevazozDataSet& table, const QString& title, QWidget* parent = nullptr);
  ~TStatusProgress();
  TStatusProgress(const TStatusProgress&) = delete;
  TStatusProgress& operator=(const TStatusProgress&) = delete;

  void Report(int32_t stat1, int32_t stat2, int32_t stat3);
  // The stage text a report begins ("Repairing QVXCAT.DBF: reading the keys").
  QString StageText(int32_t operation) const;

 private:
  TDevazozDataSet& table_;
  devazoz::TgsStatusReport previous_;
  QString title_;
  QWidget* parent_;
  std::unique_ptr<platform::qt::TProgressWindow> window_;
};

#endif  // APP_STATUSPROGRESS_H_
