#include "app/StatusProgress.h"

#include "platform/qt/progress_window.h"

TStatusProgress::TStatusProgress(TDevazozDataSet& table, const QString& title, QWidget* parent)
    : table_(table), previous_(table.OnStatus), title_(title), parent_(parent) {
  table_.OnStatus = [this](int32_t a, int32_t b, int32_t c) { Report(a, b, c); };
}

TStatusProgress::~TStatusProgress() { table_.OnStatus = previous_; }

QString TStatusProgress::StageText(int32_t operation) const {
  QString stage;
  switch (operation) {
    case devazoz::kStatusIndexCollect:
      stage = "reading the keys";
      break;
    case devazoz::kStatusIndexWrite:
      stage = "writing the index";
      break;
    case devazoz::kStatusPack:
      stage = "copying the records";
      break;
    default:
      break;
  }
  return stage.isEmpty() ? title_ : title_ + ": " + stage;
}

void TStatusProgress::Report(int32_t stat1, int32_t stat2, int32_t stat3) {
  if (stat1 == -1) {
    if (!window_) {
      window_ = std::make_unique<platform::qt::TProgressWindow>(title_, parent_);
      window_->SetCancellable(false, "The files are being put right");
    }
    window_->Begin(StageText(stat2), stat3);
  } else if (stat1 == 0) {
    if (window_) window_->Pump();
  } else if (window_) {
    window_->Step(stat2);
  }
}
