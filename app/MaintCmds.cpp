#include "app/MaintCmds.h"

#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "app/Views.h"
#include "platform/dataset/dbtypes.h"
#include "platform/qt/ansi_text.h"
#include "platform/qt/message_dlg.h"
#include "platform/qt/progress_window.h"

namespace {

using platform::qt::AnsiToQString;
using platform::qt::TProgressWindow;

struct Work {
  const char* window_title;  // "Packing Data"
  const char* doing;         // "Packing"
  const char* done;          // "packed"
  std::function<void(TDevazozDataSet&)> run;
  // Whether an engine stage of this work may be stopped.
  std::function<bool(int32_t stage)> may_stop;
};

QString StageText(const Work& work, const QString& table, int32_t stage) {
  switch (stage) {
    case devazoz::kStatusPack:
      return QString("%1 %2: copying the records").arg(work.doing, table);
    case devazoz::kStatusIndexCollect:
      return QString("%1 %2: reading the index keys").arg(work.doing, table);
    case devazoz::kStatusIndexWrite:
      return QString("%1 %2: writing the index").arg(work.doing, table);
    default:
      return QString("%1 %2").arg(work.doing, table);
  }
}

QString Names(const QStringList& names) { return names.isEmpty() ? "none" : names.join(", "); }

bool RunOverTables(const Work& work, QWidget* parent) {
  TProgressWindow progress(work.window_title, parent);
  QStringList done, left;
  // Tables closed since the start (TableOpen.h) are left out.
  std::vector<TDevazozDataSet*> tables;
  for (const TView& view : Views())
    if (view.Table().Active()) tables.push_back(&view.Table());
  for (TDevazozDataSet* table : tables) left << AnsiToQString(table->TableName());
  for (TDevazozDataSet* each : tables) {
    TDevazozDataSet& table = *each;
    const QString name = left.takeFirst();
    progress.Begin(QString("%1 %2").arg(work.doing, name), 0);
    devazoz::TgsStatusReport saved = table.OnStatus;
    table.OnStatus = [&](int32_t what, int32_t count, int32_t total) {
      if (what == -1) {
        progress.Begin(StageText(work, name, count), total);
        progress.SetCancellable(work.may_stop(count),
                                "The packed table is being put in place; this goes on to the end");
      } else if (what == 0) {
        progress.Pump();
      } else {
        progress.Step(count);
        progress.CheckCancel();
      }
    };
    try {
      work.run(table);
    } catch (const platform::EAbort&) {
      table.OnStatus = saved;
      progress.hide();
      platform::qt::MessageDlg(
          QString("%1 was stopped; %2 is as it was. Already %3: %4. Not %3: %5.")
              .arg(work.doing, name, work.done, Names(done), Names(left)),
          platform::qt::TMsgDlgType::mtInformation, platform::qt::mbOK);
      return false;
    } catch (const std::exception& e) {
      table.OnStatus = saved;
      progress.hide();
      platform::DatabaseError(
          platform::qt::QStringToAnsi(QString("%1 %2 failed: %3\nAlready %4: %5. Not %4: %6.")
                                          .arg(work.doing, name, AnsiToQString(e.what()), work.done,
                                               Names(done), Names(left))));
    }
    table.OnStatus = saved;
    done << name;
  }
  return true;
}

}  // namespace

bool PackTables(QWidget* parent) {
  Work work{"Packing Data", "Packing", "packed", [](TDevazozDataSet& t) { t.Pack(); },
            [](int32_t stage) { return stage == devazoz::kStatusPack; }};
  return RunOverTables(work, parent);
}

bool ReindexTables(QWidget* parent) {
  Work work{"Reindexing Data", "Reindexing", "reindexed", [](TDevazozDataSet& t) { t.Reindex(); },
            [](int32_t) { return true; }};
  return RunOverTables(work, parent);
}
