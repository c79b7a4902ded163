#include "app/HelpWin.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

static void InitHelpResources() { Q_INIT_RESOURCE(help); }

namespace {

const char kContents[] = "index.html";

QPointer<THelpWindow>& SharedSlot() {
  static QPointer<THelpWindow> window;
  return window;
}

}  // namespace

THelpWindow::THelpWindow(QWidget* parent) : QDialog(parent) {
  InitHelpResources();
  setObjectName("HelpWindow");
  setWindowTitle("QVX Catalog Help");
  // A window of its own, resizable, beside the program.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::WindowMinMaxButtonsHint);
  auto* bar = new QToolBar(this);
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  back_ = bar->addAction("Back");
  back_->setShortcut(QKeySequence::Back);
  forward_ = bar->addAction("Forward");
  forward_->setShortcut(QKeySequence::Forward);
  contents_ = bar->addAction("Contents");
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("HelpBrowser");
  browser_->setSearchPaths({":/help"});
  browser_->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(bar);
  layout->addWidget(browser_);
  connect(back_, &QAction::triggered, this, &THelpWindow::BackClick);
  connect(forward_, &QAction::triggered, this, &THelpWindow::ForwardClick);
  connect(contents_, &QAction::triggered, this, &THelpWindow::ContentsClick);
  connect(browser_, &QTextBrowser::sourceChanged, this, &THelpWindow::UpdateActions);
  connect(browser_, &QTextBrowser::historyChanged, this, &THelpWindow::UpdateActions);
  // About 80 characters wide and two thirds of the screen high.
  QSize size(fontMetrics().averageCharWidth() * 90, 560);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    size.setHeight(std::max(400, screen->availableGeometry().height() * 2 / 3));
  resize(size);
  ShowPage(kContents);
}

THelpWindow* THelpWindow::Shared() { return SharedSlot().data(); }

THelpWindow* THelpWindow::ShowTopic(const QString& page) {
  THelpWindow* window = nullptr;
  if (QWidget* modal = QApplication::activeModalWidget()) {
    // Over the modal window, which would keep the shared one from taking input.
    window = new THelpWindow(modal);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(Qt::ApplicationModal);
  } else {
    QPointer<THelpWindow>& shared = SharedSlot();
    if (!shared) {
      shared = new THelpWindow;
      shared->setAttribute(Qt::WA_DeleteOnClose);
    }
    window = shared.data();
  }
  window->ShowPage(page.isEmpty() ? QString(kContents) : page);
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

void THelpWindow::ShowPage(const QString& page) {
  browser_->setSource(QUrl(page));
  UpdateActions();
}

QString THelpWindow::CurrentPage() const { return browser_->source().fileName(); }

void THelpWindow::BackClick() { browser_->backward(); }
void THelpWindow::ForwardClick() { browser_->forward(); }
void THelpWindow::ContentsClick() { ShowPage(kContents); }

void THelpWindow::UpdateActions() {
  back_->setEnabled(browser_->isBackwardAvailable());
  forward_->setEnabled(browser_->isForwardAvailable());
  setWindowTitle(browser_->documentTitle().isEmpty()
                     ? QString("QVX Catalog Help")
                     : "QVX Catalog Help - " + browser_->documentTitle());
}
