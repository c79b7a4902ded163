#include "app/StartWnd.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

#include "catalog/catalog_files.h"
#include "catalog/sample_catalog.h"
#include "platform/qt/fonts.h"
#include "platform/qt/message_dlg.h"

namespace {

QString Native(const std::string& folder) {
  return QDir::toNativeSeparators(QString::fromStdString(folder));
}

}  // namespace

TStartWindow::TStartWindow(const std::string& folder, QWidget* parent)
    : TModalForm(parent), folder_(folder) {
  setObjectName("StartWindow");
  setWindowTitle("QVX Catalog");
  setFont(platform::qt::MapFont("MS Sans Serif", 8));

  MessageLabel =
      new QLabel("There is no catalog in this folder (" + Native(folder) +
                     ").\n\nA catalog keeps your game titles with their categories, developers and "
                     "distributors. Make a new one here, open one that is elsewhere, or try the "
                     "sample catalog first.",
                 this);
  MessageLabel->setObjectName("MessageLabel");
  MessageLabel->setWordWrap(true);
  MessageLabel->setMinimumWidth(380);
  NewHereBtn = new QPushButton("&New catalog here", this);
  NewHereBtn->setObjectName("NewHereBtn");
  OpenBtn = new QPushButton("&Open a catalog…", this);
  OpenBtn->setObjectName("OpenBtn");
  SampleBtn = new QPushButton("&Try the sample catalog", this);
  SampleBtn->setObjectName("SampleBtn");
  QuitBtn = new QPushButton("&Quit", this);
  QuitBtn->setObjectName("QuitBtn");
  SetDefaultButton(NewHereBtn);
  SetCancelButton(QuitBtn);
  SetButtonModalResult(QuitBtn, platform::qt::mrCancel);
  connect(NewHereBtn, &QPushButton::clicked, this, &TStartWindow::NewHereBtnClick);
  connect(OpenBtn, &QPushButton::clicked, this, &TStartWindow::OpenBtnClick);
  connect(SampleBtn, &QPushButton::clicked, this, &TStartWindow::SampleBtnClick);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addWidget(MessageLabel);
  layout->addSpacing(12);
  for (QPushButton* button : {NewHereBtn, OpenBtn, SampleBtn, QuitBtn}) {
    button->setMinimumHeight(30);
    layout->addWidget(button);
  }
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TStartWindow::NewHereBtnClick() {
  TakeFolder(folder_, [this] { catalog::CreateCatalog(folder_); });
}

void TStartWindow::OpenBtnClick() {
  std::string folder = ChooseFolder("Open Catalog");
  if (folder.empty()) return;
  std::string why = catalog::WhyNoCatalog(folder);
  if (!why.empty()) {
    platform::qt::MessageDlg(QString::fromStdString(why), platform::qt::TMsgDlgType::mtWarning,
                             platform::qt::mbOK, this);
    return;
  }
  TakeFolder(folder, [] {});
}

void TStartWindow::SampleBtnClick() {
  std::string folder = ChooseFolder("A Folder for the Sample Catalog");
  if (!folder.empty()) TakeFolder(folder, [&folder] { catalog::CreateSampleCatalog(folder); });
}

std::string TStartWindow::ChooseFolder(const QString& title) {
  QString chosen = QFileDialog::getExistingDirectory(this, title, Native(folder_));
  return chosen.isEmpty() ? std::string() : QDir::fromNativeSeparators(chosen).toStdString();
}

void TStartWindow::TakeFolder(const std::string& folder, const std::function<void()>& make) {
  try {
    make();
  } catch (const std::exception& e) {
    platform::qt::MessageDlg(QString::fromStdString(e.what()), platform::qt::TMsgDlgType::mtError,
                             platform::qt::mbOK, this);
    return;
  }
  folder_ = folder;
  SetModalResult(platform::qt::mrOk);
}
