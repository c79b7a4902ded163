#include "platform/qt/db_lookup_combo_box.h"

#include <QKeyEvent>
#include <QListView>
#include <QStringListModel>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QWheelEvent>

#include "platform/dataset/dataset.h"
#include "platform/qt/ansi_text.h"
#include "platform/qt/beep.h"
#include "platform/qt/run_handler.h"

namespace platform::qt {

namespace {

// Set while a lookup box moves a list dataset itself (to show a value or to read
// the list): the dataset events that follow are no change of the list's entries.
int g_lookup_moves = 0;

class LookupMove {
 public:
  LookupMove() { ++g_lookup_moves; }
  ~LookupMove() { --g_lookup_moves; }
  LookupMove(const LookupMove&) = delete;
  LookupMove& operator=(const LookupMove&) = delete;
};

constexpr int kDropDownRows = 7;

}  // namespace

// Follows the list dataset: anything but a move of its cursor may change the entries.
class TDBLookupComboBox::ListLink : public TDataLink {
 public:
  explicit ListLink(TDBLookupComboBox* owner) : owner_(owner) {}

 protected:
  void ActiveChanged() override { owner_->ListChanged(); }
  void DataSetChanged() override {
    if (g_lookup_moves == 0) owner_->ListChanged();
  }
  void DataSetScrolled(int distance) override { (void)distance; }
  void EditingChanged() override { owner_->ListChanged(); }
  void LayoutChanged() override { owner_->ListChanged(); }
  void RecordChanged(TField* field) override {
    if (field != nullptr) owner_->ListChanged();
  }

 private:
  TDBLookupComboBox* owner_;
};

TDBLookupComboBox::TDBLookupComboBox(QWidget* parent)
    : QComboBox(parent),
      list_link_(std::make_unique<ListLink>(this)),
      model_(new QStringListModel(this)) {
  setModel(model_);
  setMaxVisibleItems(kDropDownRows);
  // The box's width must not depend on thousands of entries.
  setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  setMinimumContentsLength(12);
  if (auto* list = qobject_cast<QListView*>(view())) list->setUniformItemSizes(true);
  data_link_.OnDataChange = [this] { DataChange(); };
  connect(this, &QComboBox::activated, this, &TDBLookupComboBox::Activated);
}

TDBLookupComboBox::~TDBLookupComboBox() {
  data_link_.OnDataChange = nullptr;
  list_link_->SetDataSource(nullptr);
}

TDataSource* TDBLookupComboBox::ListSource() const { return list_link_->DataSource(); }

void TDBLookupComboBox::SetListSource(TDataSource* source) {
  list_link_->SetDataSource(source);
  ListChanged();
}

void TDBLookupComboBox::SetKeyField(const std::string& name) {
  key_field_ = name;
  ListChanged();
}

void TDBLookupComboBox::SetListField(const std::string& name) {
  list_field_ = name;
  ListChanged();
}

void TDBLookupComboBox::ListChanged() {
  list_stale_ = true;
  value_stale_ = true;
  if (isVisible()) update();
}

void TDBLookupComboBox::DataChange() {
  value_stale_ = true;
  if (isVisible()) KeyValueChanged();
}

void TDBLookupComboBox::KeyValueChanged() {
  value_stale_ = false;
  key_.clear();
  text_.clear();
  TField* field = data_link_.Field();
  TDataSet* list = list_link_->Active() ? list_link_->DataSet() : nullptr;
  if (field && !field->IsNull()) key_ = field->AsString();
  if (!key_.empty() && list && !key_field_.empty()) {
    bool found = false;
    {
      LookupMove move;
      found = list->Locate(key_field_, TVariant(key_), 0);
    }
    if (found) {
      const std::string& shown = list_field_.empty() ? key_field_ : list_field_;
      text_ = AnsiToQString(list->FieldByName(shown)->DisplayText());
    }
  }
  update();
}

const QString& TDBLookupComboBox::DisplayText() {
  if (value_stale_) KeyValueChanged();
  return text_;
}

void TDBLookupComboBox::EnsureList() {
  if (!list_stale_) return;
  list_stale_ = false;
  items_.clear();
  keys_.clear();
  TDataSet* list = list_link_->Active() ? list_link_->DataSet() : nullptr;
  if (list && !key_field_.empty()) {
    TField* key = list->FieldByName(key_field_);
    TField* shown = list_field_.empty() ? key : list->FieldByName(list_field_);
    LookupMove move;
    list->CheckBrowseMode();
    TBookmark position = list->GetBookmark();
    list->DisableControls();
    try {
      for (list->First(); !list->Eof(); list->Next()) {
        keys_.push_back(key->AsString());
        items_.push_back(AnsiToQString(shown->DisplayText()));
      }
      if (!position.empty()) list->GotoBookmark(position);
    } catch (...) {
      list->EnableControls();
      list_stale_ = true;
      throw;
    }
    list->EnableControls();
  }
  const QSignalBlocker block(this);
  model_->setStringList(items_);
}

const QStringList& TDBLookupComboBox::Items() {
  EnsureList();
  return items_;
}

const std::vector<std::string>& TDBLookupComboBox::Keys() {
  EnsureList();
  return keys_;
}

void TDBLookupComboBox::SyncCurrentRow() {
  EnsureList();
  if (value_stale_) KeyValueChanged();
  int row = -1;
  if (!text_.isEmpty()) {
    for (size_t i = 0; i < keys_.size(); ++i) {
      if (keys_[i] == key_) {
        row = int(i);
        break;
      }
    }
  }
  const QSignalBlocker block(this);
  setCurrentIndex(row);
}

void TDBLookupComboBox::SelectEntry(int row) {
  EnsureList();
  if (row < 0 || row >= int(keys_.size())) return;
  TField* field = data_link_.Field();
  if (!field || !data_link_.Edit()) {
    Beep();
    return;
  }
  field->SetAsString(keys_[size_t(row)]);
  if (value_stale_) KeyValueChanged();
  emit Click();
}

void TDBLookupComboBox::Activated(int row) {
  RunHandler([&] { SelectEntry(row); });
}

void TDBLookupComboBox::showPopup() {
  if (!RunHandler([&] { SyncCurrentRow(); })) return;
  QComboBox::showPopup();
}

void TDBLookupComboBox::keyPressEvent(QKeyEvent* event) {
  RunHandler([&] { SyncCurrentRow(); });
  QComboBox::keyPressEvent(event);
}

void TDBLookupComboBox::wheelEvent(QWheelEvent* event) {
  RunHandler([&] { SyncCurrentRow(); });
  QComboBox::wheelEvent(event);
}

void TDBLookupComboBox::showEvent(QShowEvent* event) {
  if (value_stale_) RunHandler([&] { KeyValueChanged(); });
  QComboBox::showEvent(event);
}

void TDBLookupComboBox::paintEvent(QPaintEvent* event) {
  (void)event;
  if (value_stale_) RunHandler([&] { KeyValueChanged(); });
  QStylePainter painter(this);
  painter.setPen(palette().color(QPalette::Text));
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText = text_;
  option.currentIcon = QIcon();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

}  // namespace platform::qt
