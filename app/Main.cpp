#include "app/Main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/AboutDlg.h"
#include "app/BackgroundWork.h"
#include "app/CatalogCmds.h"
#include "app/CountText.h"
#include "app/FiltFrm.h"
#include "app/FindDlg.h"
#include "app/HelpWin.h"
#include "app/MaintCmds.h"
#include "app/QvxLiRpt.h"
#include "app/StatsFrm.h"
#include "app/Views.h"
#include "platform/qt/ansi_text.h"
#include "platform/qt/application.h"
#include "platform/qt/db_grid.h"
#include "platform/qt/db_navigator.h"
#include "platform/qt/fonts.h"
#include "platform/qt/message_dlg.h"
#include "platform/qt/modal_form.h"

using platform::qt::AnsiToQString;
using platform::qt::ConnectCommand;
using platform::qt::MessageDlg;
using platform::qt::TDBGrid;
using platform::qt::TDBGridColumn;
using platform::qt::TDBNavigator;
using platform::qt::TMsgDlgType;
using platform::qt::TNavigateBtn;

TMainForm* MainForm = nullptr;

namespace {

// Gray of the speed bar and the title bar.
const QColor kPanelGray(128, 128, 128);

QIcon Icon(const char* name) { return QIcon(QString(":/qvxcat/icons/") + name + ".png"); }

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName("MainForm");
  setWindowTitle("QVX Catalog");
  setWindowIcon(Icon("qvxcat"));
  setFont(platform::qt::MapFont("Tahoma", 8));
  CreateMenus();
  CreateToolBar();
  CreateClientPanel();
  CreateStatusBar();
  connect(ViewToolbar, &QAction::toggled, ToolBar, &QWidget::setVisible);
  connect(ViewStatusBar, &QAction::toggled, StatusBar, &QWidget::setVisible);
  connect(ViewSpeedBar, &QAction::toggled, this, &TMainForm::SetSpeedBarShown);

  DBNavigator = new TDBNavigator(this);
  DBNavigator->setObjectName("DBNavigator");
  DBNavigator->hide();

  // Enter anywhere in the window opens the current record.
  Button1 = new QPushButton(this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(0, 0, 0, 0);
  Button1->setFocusPolicy(Qt::NoFocus);
  Button1->setAccessibleName("Open Record");
  ConnectCommand(Button1, &QPushButton::clicked, this, &TMainForm::FileOpenClick);
  for (int key : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
    auto* enter = new QShortcut(QKeySequence(key), this);
    connect(enter, &QShortcut::activated, Button1, &QPushButton::click);
  }
  // Ctrl+K, and / while the grid has the focus, go to the quick search box; Esc
  // there ends the search.
  auto* search_key = new QShortcut(QKeySequence("Ctrl+K"), this);
  connect(search_key, &QShortcut::activated, this, [this] {
    QuickSearchEdit->setFocus(Qt::ShortcutFocusReason);
    QuickSearchEdit->selectAll();
  });
  DBGrid->installEventFilter(this);
  QuickSearchEdit->installEventFilter(this);

  // F1 in a dialog opens the help on what the dialog does.
  platform::qt::TModalForm::SetHelpRequest([](platform::qt::TModalForm& form) {
    const QString name = form.objectName();
    QString topic = "index.html";
    if (name == "CatalogForm" || name == "CategoryForm" || name == "DeveloperForm")
      topic = "editing.html";
    else if (name == "FindDialog")
      topic = "find.html";
    else if (name == "SortDialog" || name == "FilterForm")
      topic = "filters.html";
    THelpWindow::ShowTopic(topic);
  });
  background_ = new TBackgroundWork(this);
  background_->Done = [this] { platform::qt::RunCommand([this] { UpdateStatusBar(); }); };
  setMinimumSize(620, 406);
  SizeToScreen();
}

void TMainForm::SizeToScreen() {
  QSize size(620, 406);
  if (const QScreen* screen = this->screen()) {
    // Three quarters of the screen's free area, so that a grid of titles and its
    // columns show at once, but no bigger than the columns need.
    const QRect area = screen->availableGeometry();
    size = size.expandedTo(
        QSize(std::min(area.width() * 3 / 4, 1200), std::min(area.height() * 3 / 4, 800)));
  }
  resize(size);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == DBGrid && key->text() == "/" && key->modifiers() == Qt::NoModifier) {
      QuickSearchEdit->setFocus(Qt::ShortcutFocusReason);
      QuickSearchEdit->selectAll();
      return true;
    }
    if (watched == QuickSearchEdit && key->key() == Qt::Key_Escape) {
      QuickSearchEdit->clear();
      DBGrid->setFocus();
      return true;
    }
    if (watched == QuickSearchEdit && (key->key() == Qt::Key_Down || key->key() == Qt::Key_Return ||
                                       key->key() == Qt::Key_Enter)) {
      // To the records found; Enter does not open one from the search box.
      DBGrid->setFocus();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

TMainForm::~TMainForm() {
  if (MainForm == this) MainForm = nullptr;
}

QAction* TMainForm::AddMenuItem(QMenu* menu, const QString& name, const QString& caption,
                                void (TMainForm::*handler)(), const QKeySequence& shortcut) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(name);
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  if (handler != nullptr) AddCommand(action, handler);
  return action;
}

QAction* TMainForm::AddCommand(QAction* action, Handler handler) {
  ConnectCommand(action, &QAction::triggered, this, handler);
  commands_.emplace_back(action, handler);
  return action;
}

void TMainForm::CreateMenus() {
  QMenuBar* bar = menuBar();
  FileMenu = bar->addMenu("&File");
  FileMenu->setObjectName("FileMenu");
  ConnectCommand(FileMenu, &QMenu::aboutToShow, this, &TMainForm::FileMenuClick);
  FileNew =
      AddMenuItem(FileMenu, "FileNew", "&New...", &TMainForm::FileNewClick, QKeySequence("Ctrl+N"));
  FileOpen = AddMenuItem(FileMenu, "FileOpen", "&Open...", &TMainForm::FileOpenClick,
                         QKeySequence("Ctrl+O"));
  FileDelete = AddMenuItem(FileMenu, "FileDelete", "&Delete...", &TMainForm::FileDeleteClick,
                           QKeySequence("Ctrl+D"));
  FileMenu->addSeparator();
  FileOpenCatalog =
      AddMenuItem(FileMenu, "FileOpenCatalog", "Open &Catalog…", &TMainForm::FileOpenCatalogClick);
  FileNewCatalog =
      AddMenuItem(FileMenu, "FileNewCatalog", "Ne&w Catalog…", &TMainForm::FileNewCatalogClick);
  FileMenu->addSeparator();
  FileImport = AddMenuItem(FileMenu, "FileImport", "&Import…", &TMainForm::FileImportClick);
  FileExport = AddMenuItem(FileMenu, "FileExport", "&Export…", &TMainForm::FileExportClick);
  FileMenu->addSeparator();
  FilePrintSetup =
      AddMenuItem(FileMenu, "FilePrintSetup", "Print Set&up...", &TMainForm::FilePrintSetupClick);
  FilePrintPreview = AddMenuItem(FileMenu, "FilePrintPreview", "Print Pre&view",
                                 &TMainForm::FilePrintPreviewClick);
  FilePrint = AddMenuItem(FileMenu, "FilePrint", "&Print...", &TMainForm::FilePrintClick,
                          QKeySequence("Ctrl+P"));
  FileMenu->addSeparator();
  FileExit = AddMenuItem(FileMenu, "FileExit", "E&xit", &TMainForm::FileExitClick);

  EditMenu = bar->addMenu("&Edit");
  EditMenu->setObjectName("EditMenu");
  ConnectCommand(EditMenu, &QMenu::aboutToShow, this, &TMainForm::EditMenuClick);
  EditFind = AddMenuItem(EditMenu, "EditFind", "&Find...", &TMainForm::EditFindClick,
                         QKeySequence("Ctrl+F"));
  EditFindNext = AddMenuItem(EditMenu, "EditFindNext", "Find &Next", &TMainForm::EditFindNextClick,
                             QKeySequence(Qt::Key_F3));
  EditMenu->addSeparator();
  EditFirst = AddMenuItem(EditMenu, "EditFirst", "F&irst", &TMainForm::EditFirstClick);
  EditPrevious = AddMenuItem(EditMenu, "EditPrevious", "&Previous", &TMainForm::EditPreviousClick);
  EditNext = AddMenuItem(EditMenu, "EditNext", "&Next", &TMainForm::EditNextClick);
  EditLast = AddMenuItem(EditMenu, "EditLast", "&Last", &TMainForm::EditLastClick);

  ViewMenu = bar->addMenu("&View");
  ViewMenu->setObjectName("ViewMenu");
  ConnectCommand(ViewMenu, &QMenu::aboutToShow, this, &TMainForm::ViewMenuClick);
  ViewSort = AddMenuItem(ViewMenu, "ViewSort", "&Sort...", &TMainForm::ViewSortClick);
  ViewFilter = AddMenuItem(ViewMenu, "ViewFilter", "&Filter...", &TMainForm::ViewFilterClick);
  ViewMenu->addSeparator();
  // Each check mark says whether its bar is shown: the action toggles the mark, and
  // the toggle shows or hides the bar (connected once the bars exist; the handlers
  // toggle the mark likewise).
  ViewToolbar = AddMenuItem(ViewMenu, "ViewToolbar", "&Toolbar", nullptr);
  ViewStatusBar = AddMenuItem(ViewMenu, "ViewStatusBar", "S&tatus Bar", nullptr);
  ViewSpeedBar = AddMenuItem(ViewMenu, "ViewSpeedBar", "&Speed Bar", nullptr);
  for (QAction* item : {ViewToolbar, ViewStatusBar, ViewSpeedBar}) {
    item->setCheckable(true);
    item->setChecked(true);
  }

  GoMenu = bar->addMenu("&Go");
  GoMenu->setObjectName("GoMenu");
  ConnectCommand(GoMenu, &QMenu::aboutToShow, this, &TMainForm::GoMenuClick);
  GoCatalog = AddMenuItem(GoMenu, "GoCatalog", "&Catalog", &TMainForm::GoCatalogClick);
  GoCategories = AddMenuItem(GoMenu, "GoCategories", "C&ategories", &TMainForm::GoCategoriesClick);
  GoDevelopers = AddMenuItem(GoMenu, "GoDevelopers", "&Developers/Distributors",
                             &TMainForm::GoDevelopersClick);

  ReportsMenu = bar->addMenu("&Reports");
  ReportsMenu->setObjectName("ReportsMenu");
  ConnectCommand(ReportsMenu, &QMenu::aboutToShow, this, &TMainForm::ReportsMenuClick);
  // The list report's menu item previews the report, as File > Print Preview does.
  ReportsQVXCatalogList = AddMenuItem(ReportsMenu, "ReportsQVXCatalogList", "&QVX Catalog List",
                                      &TMainForm::FilePrintPreviewClick);
  ReportsStatistics = AddMenuItem(ReportsMenu, "ReportsStatistics", "&Statistics",
                                  &TMainForm::ReportsStatisticsClick);

  ToolsMenu = bar->addMenu("&Tools");
  ToolsMenu->setObjectName("ToolsMenu");
  ConnectCommand(ToolsMenu, &QMenu::aboutToShow, this, &TMainForm::ToolsMenuClick);
  ToolsPackData =
      AddMenuItem(ToolsMenu, "ToolsPackData", "&Pack Data", &TMainForm::ToolsPackDataClick);
  ToolsReindexData = AddMenuItem(ToolsMenu, "ToolsReindexData", "&Reindex Data",
                                 &TMainForm::ToolsReindexDataClick);

  HelpMenu = bar->addMenu("&Help");
  HelpMenu->setObjectName("HelpMenu");
  ConnectCommand(HelpMenu, &QMenu::aboutToShow, this, &TMainForm::HelpMenuClick);
  HelpHelpTopics = AddMenuItem(HelpMenu, "HelpHelpTopics", "&Help Topics",
                               &TMainForm::HelpHelpTopicsClick, QKeySequence::HelpContents);
  HelpMenu->addSeparator();
  HelpAbout = AddMenuItem(HelpMenu, "HelpAbout", "&About", &TMainForm::HelpAboutClick);
}

void TMainForm::CreateToolBar() {
  ToolBar = new QToolBar(this);
  ToolBar->setObjectName("ToolBar");
  ToolBar->setMovable(false);
  ToolBar->setFloatable(false);
  ToolBar->setIconSize(QSize(24, 24));
  ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  ToolBar->toggleViewAction()->setVisible(false);
  setContextMenuPolicy(Qt::NoContextMenu);
  addToolBar(Qt::TopToolBarArea, ToolBar);
  struct Button {
    const char* name;
    const char* hint;
    const char* image;
    void (TMainForm::*handler)();
    bool divider_before;
  };
  const Button buttons[] = {
      {"ToolButton1", "New", "document-new-24", &TMainForm::FileNewClick, false},
      {"ToolButton2", "Open", "document-open-24", &TMainForm::FileOpenClick, false},
      {"ToolButton3", "Delete", "edit-delete-24", &TMainForm::FileDeleteClick, false},
      {"ToolButton5", "Print", "document-print-24", &TMainForm::FilePrintClick, true},
      {"ToolButton6", "Print Preview", "document-print-preview-24",
       &TMainForm::FilePrintPreviewClick, false},
      {"ToolButton11", "Find", "edit-find-24", &TMainForm::EditFindClick, true},
      {"ToolButton8", "Sort", "view-sort-ascending-24", &TMainForm::ViewSortClick, true},
      {"ToolButton9", "Filter", "view-filter-24", &TMainForm::ViewFilterClick, false},
      {"ToolButton13", "Help", "help-browser-24", &TMainForm::HelpHelpTopicsClick, true},
  };
  for (const Button& b : buttons) {
    if (b.divider_before) ToolBar->addSeparator();
    QAction* action = ToolBar->addAction(Icon(b.image), b.hint);
    action->setObjectName(b.name);
    action->setToolTip(b.hint);
    // Icon-only buttons: the hint is what a screen reader says.
    if (QWidget* button = ToolBar->widgetForAction(action)) button->setAccessibleName(b.hint);
    AddCommand(action, b.handler);
  }
  ToolBar->addSeparator();
  QuickSearchEdit = new QLineEdit(ToolBar);
  QuickSearchEdit->setObjectName("QuickSearchEdit");
  QuickSearchEdit->setPlaceholderText("Search (Ctrl+K)");
  QuickSearchEdit->setToolTip("Quick search: shows the records that hold every word typed");
  QuickSearchEdit->setAccessibleName("Quick search");
  QuickSearchEdit->setClearButtonEnabled(true);
  QuickSearchEdit->setFixedWidth(QuickSearchEdit->fontMetrics().averageCharWidth() * 32);
  ToolBar->addWidget(QuickSearchEdit);
  ConnectCommand(QuickSearchEdit, &QLineEdit::textChanged, this, &TMainForm::QuickSearchEditChange);
}

void TMainForm::CreateClientPanel() {
  ClientPanel = new QWidget(this);
  ClientPanel->setObjectName("ClientPanel");
  auto* client_layout = new QVBoxLayout(ClientPanel);
  client_layout->setContentsMargins(5, 5, 5, 5);
  client_layout->setSpacing(0);

  Splitter = new QSplitter(Qt::Horizontal, ClientPanel);
  Splitter->setObjectName("Splitter");
  Splitter->setHandleWidth(3);
  Splitter->setChildrenCollapsible(false);
  client_layout->addWidget(Splitter);

  // The speed bar: three glyph buttons with white captions on gray.
  ServiceTrackingBar = new QScrollArea(Splitter);
  ServiceTrackingBar->setObjectName("ServiceTrackingBar");
  ServiceTrackingBar->setFrameShape(QFrame::StyledPanel);
  ServiceTrackingBar->setFrameShadow(QFrame::Sunken);
  ServiceTrackingBar->setWidgetResizable(true);
  ServiceTrackingBar->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ServiceTrackingBar->setMinimumWidth(40);
  auto* bar_content = new QWidget;
  QPalette gray = bar_content->palette();
  gray.setColor(QPalette::Window, kPanelGray);
  gray.setColor(QPalette::Button, kPanelGray);
  gray.setColor(QPalette::ButtonText, Qt::white);
  gray.setColor(QPalette::WindowText, Qt::white);
  bar_content->setAutoFillBackground(true);
  bar_content->setPalette(gray);
  auto* bar_layout = new QVBoxLayout(bar_content);
  bar_layout->setContentsMargins(4, 12, 4, 12);
  bar_layout->setSpacing(14);
  struct Glyph {
    QToolButton** button;
    const char* name;
    const char* caption;
    const char* image;
    void (TMainForm::*handler)();
  };
  const Glyph glyphs[] = {
      {&SpeedButton3, "SpeedButton3", "Catalog", "catalog-48", &TMainForm::GoCatalogClick},
      {&SpeedButton1, "SpeedButton1", "Categories", "categories-48", &TMainForm::GoCategoriesClick},
      {&SpeedButton4, "SpeedButton4", "Developers", "developers-48", &TMainForm::GoDevelopersClick},
  };
  for (const Glyph& g : glyphs) {
    auto* button = new QToolButton(bar_content);
    button->setObjectName(g.name);
    button->setText(g.caption);
    button->setIcon(Icon(g.image));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setPalette(gray);
    button->setCursor(Qt::PointingHandCursor);
    ConnectCommand(button, &QToolButton::clicked, this, g.handler);
    bar_layout->addWidget(button, 0, Qt::AlignHCenter);
    *g.button = button;
  }
  bar_layout->addStretch(1);
  ServiceTrackingBar->setWidget(bar_content);

  // The view area: title bar, a 4-pixel spacer and the grid.
  auto* view_area = new QWidget(Splitter);
  view_area->setObjectName("ViewArea");
  auto* view_layout = new QVBoxLayout(view_area);
  view_layout->setContentsMargins(0, 0, 0, 0);
  view_layout->setSpacing(4);
  TitleBar = new QWidget(view_area);
  TitleBar->setObjectName("TitleBar");
  TitleBar->setFixedHeight(25);
  TitleBar->setAutoFillBackground(true);
  QPalette title_palette = TitleBar->palette();
  title_palette.setColor(QPalette::Window, kPanelGray);
  title_palette.setColor(QPalette::WindowText, Qt::white);
  TitleBar->setPalette(title_palette);
  auto* title_layout = new QHBoxLayout(TitleBar);
  title_layout->setContentsMargins(0, 0, 0, 0);
  title_layout->setSpacing(0);
  const QFont title_font = platform::qt::MapPixelFont("Times New Roman", 16);
  TitlePanel1 = new QLabel(TitleBar);
  TitlePanel1->setObjectName("TitlePanel1");
  TitlePanel1->setFont(title_font);
  TitlePanel1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  TitlePanel1->setPalette(title_palette);
  TitlePanel2 = new QLabel("(Filter Applied)", TitleBar);
  TitlePanel2->setObjectName("TitlePanel2");
  TitlePanel2->setFont(title_font);
  TitlePanel2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  TitlePanel2->setPalette(title_palette);
  TitlePanel2->setFixedWidth(1);
  title_layout->addWidget(TitlePanel1, 1);
  title_layout->addWidget(TitlePanel2, 0);
  view_layout->addWidget(TitleBar);
  DBGrid = new TDBGrid(view_area);
  DBGrid->setObjectName("DBGrid");
  view_layout->addWidget(DBGrid, 1);
  connect(DBGrid, &TDBGrid::TitleClick, this, [this](TDBGridColumn* column) {
    platform::qt::RunCommand([&] { DBGridTitleClick(column); });
  });
  ConnectCommand(DBGrid, &TDBGrid::DblClick, this, &TMainForm::FileOpenClick);

  Splitter->addWidget(ServiceTrackingBar);
  Splitter->addWidget(view_area);
  Splitter->setStretchFactor(0, 0);
  Splitter->setStretchFactor(1, 1);
  Splitter->setSizes({120, 500});
  setCentralWidget(ClientPanel);
}

void TMainForm::CreateStatusBar() {
  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName("StatusBar");
  StatusBar->setSizeGripEnabled(false);
  const int widths[3] = {72, 100, 200};
  for (int i = 0; i < 3; ++i) {
    StatusPanel[i] = new QLabel(StatusBar);
    StatusPanel[i]->setObjectName(QString("StatusPanel%1").arg(i));
    StatusPanel[i]->setFrameShape(QFrame::Panel);
    StatusPanel[i]->setFrameShadow(QFrame::Sunken);
    StatusPanel[i]->setContentsMargins(2, 0, 2, 0);
    StatusBar->addWidget(StatusPanel[i]);
    SetStatusPanelWidth(i, widths[i]);
  }
  StatusPanel[0]->setText("Filter Applied");
  SetStatusPanelWidth(0, 0);
  StatusNote = new QLabel(StatusBar);
  StatusNote->setObjectName("StatusNote");
  StatusNote->setContentsMargins(4, 0, 2, 0);
  StatusBar->addWidget(StatusNote, 1);
  setStatusBar(StatusBar);
}

// Panels keep their design widths, widened only when the installed font draws the
// panel's text wider than the design's font did.
void TMainForm::SetStatusPanelWidth(int panel, int width) {
  QLabel* label = StatusPanel[panel];
  if (width > 0) {
    const QMargins margins = label->contentsMargins();
    const int needed = label->fontMetrics().horizontalAdvance(label->text()) + margins.left() +
                       margins.right() + 2 * label->frameWidth() + 2;
    width = std::max(width, needed);
  }
  label->setFixedWidth(width);
  label->setVisible(width > 0);
}

bool TMainForm::SplitterVisible() const {
  return Splitter->handle(1) != nullptr && !Splitter->handle(1)->isHidden();
}

void TMainForm::SetSplitterShown(bool shown) {
  if (QSplitterHandle* handle = Splitter->handle(1)) handle->setVisible(shown);
}

// --- Views ---------------------------------------------------------------------------

const TView* TMainForm::ShownView() const {
  return MastData != nullptr ? ViewByNumber(current_view_) : nullptr;
}

bool TMainForm::TablesOpen() const {
  for (const TView& view : Views())
    if (!view.Table().Active()) return false;
  return true;
}

TDevazozDataSet* TMainForm::ViewTable() const {
  const TView* view = ShownView();
  return view != nullptr ? &view->Table() : nullptr;
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!shown_once_) {
    shown_once_ = true;
    platform::qt::RunCommand([this] { FormShow(); });
  }
}

void TMainForm::closeEvent(QCloseEvent* event) {
  platform::qt::RunCommand([this] { FormClose(); });
  QMainWindow::closeEvent(event);
}

void TMainForm::FormShow() {
  setWindowTitle(CatalogCaption(ShownCatalogFolder()));
  opening_.OpenTables();
  background_->Start();
  saved_columns_ = &DBGrid->Columns();
  saved_data_source_ = DBGrid->DataSource();
  current_view_ = 0;
  GoCatalogClick();
}

void TMainForm::FormClose() {
  for (const TView& view : Views()) view.Table().Close();
}

void TMainForm::ShowView(int view) {
  if (view != current_view_) {
    current_view_ = view;
    DBGrid->SetDataSource(saved_data_source_);
    // The grid's own collection assigned to itself empties it: default columns again.
    if (saved_columns_ != nullptr) DBGrid->Columns().Assign(*saved_columns_);
    if (const TView* shown = ShownView()) {
      DBGrid->SetDataSource(&shown->Source());
      DBNavigator->SetDataSource(&shown->Source());
    }
    DBNavigator->BtnClick(TNavigateBtn::nbFirst);
    // The search box shows the quick search of the view shown.
    const QSignalBlocker quiet(QuickSearchEdit);
    TDevazozDataSet* table = ViewTable();
    QuickSearchEdit->setText(table != nullptr ? AnsiToQString(table->QuickSearch()) : QString());
  }
  UpdateTitle();
  UpdateStatusBar();
  UpdateCommands();
  DBGrid->setFocus();
}

void TMainForm::UpdateTitle() {
  const TView* view = ShownView();
  TitlePanel1->setText(view != nullptr ? view->title : "");
  TDevazozDataSet* table = ViewTable();
  TitlePanel2->setFixedWidth(table != nullptr && table->Filtered() ? 100 : 1);
}

void TMainForm::UpdateStatusBar() {
  int count = 0;
  bool filtered = false;
  std::string index_name;
  if (TDevazozDataSet* table = ViewTable(); table != nullptr && table->Active()) {
    // What the view shows: deleted records and those the filter or the quick
    // search hides are not counted. While the tables are still being read the
    // count follows when they are (BackgroundWork's Done).
    count = table->VisibleCount();
    if (count < 0) {
      // What is left to read of a small table takes no time: read here when it
      // takes no more than 50 ms, else in the background.
      QElapsedTimer clock;
      clock.start();
      table->DoBackgroundWork([&] { return clock.elapsed() >= 50; });
      count = table->VisibleCount();
    }
    filtered = table->Filtered();
    index_name = table->IndexName();
  }
  SetStatusPanelWidth(0, filtered ? 72 : 0);
  if (count < 0) {
    StatusPanel[1]->setText(QString::fromUtf8("counting\u2026"));
    background_->Start();
  } else {
    StatusPanel[1]->setText(CountText(count) + " Items");
  }
  SetStatusPanelWidth(1, 100);
  StatusPanel[2]->setText("Ordered By " + IndexCaption(AnsiToQString(index_name)));
  SetStatusPanelWidth(2, 200);
}

QString TMainForm::IndexCaption(const QString& tag_name) const {
  std::string caption;
  if (const TView* view = ShownView())
    view->IndexCaption(platform::qt::QStringToAnsi(tag_name), caption);
  return AnsiToQString(caption);
}

int TMainForm::ShowRecordForm() {
  const TView* view = ShownView();
  return view != nullptr ? view->record_form()->ShowModal() : 0;
}

// --- What the commands need --------------------------------------------------------

TMainForm::TNeeds TMainForm::NeedsOf(Handler handler) {
  static const std::pair<Handler, TNeeds> kNeeds[] = {
      {&TMainForm::FileNewClick, TNeeds::kViewWritable},
      {&TMainForm::FileOpenClick, TNeeds::kViewOpen},
      {&TMainForm::FileDeleteClick, TNeeds::kViewWritable},
      {&TMainForm::FilePrintPreviewClick, TNeeds::kTitlesOpen},
      {&TMainForm::FilePrintClick, TNeeds::kTitlesOpen},
      {&TMainForm::FileImportClick, TNeeds::kTitlesWritable},
      {&TMainForm::FileExportClick, TNeeds::kTitlesOpen},
      {&TMainForm::EditFindClick, TNeeds::kViewOpen},
      {&TMainForm::EditFindNextClick, TNeeds::kViewOpen},
      {&TMainForm::EditFirstClick, TNeeds::kViewOpen},
      {&TMainForm::EditPreviousClick, TNeeds::kViewOpen},
      {&TMainForm::EditNextClick, TNeeds::kViewOpen},
      {&TMainForm::EditLastClick, TNeeds::kViewOpen},
      {&TMainForm::ViewSortClick, TNeeds::kViewOpen},
      {&TMainForm::ViewFilterClick, TNeeds::kViewOpen},
      {&TMainForm::ReportsStatisticsClick, TNeeds::kTitlesOpen},
      {&TMainForm::ToolsPackDataClick, TNeeds::kTablesWritable},
      {&TMainForm::ToolsReindexDataClick, TNeeds::kTablesWritable},
  };
  for (const auto& [h, needs] : kNeeds)
    if (h == handler) return needs;
  return TNeeds::kNothing;
}

bool TMainForm::Allowed(TNeeds needs, std::string* why) const {
  std::string reason;
  auto refuse = [&](const TDevazozDataSet& table) {
    reason = opening_.Problem(table);
    return false;
  };
  bool allowed = true;
  switch (needs) {
    case TNeeds::kNothing:
      break;
    case TNeeds::kViewOpen:
    case TNeeds::kViewWritable: {
      TDevazozDataSet* table = ViewTable();
      if (table == nullptr) {
        allowed = false;
        reason = "No table is shown.";
      } else if (!table->Active() || (needs == TNeeds::kViewWritable && table->ReadOnly())) {
        allowed = refuse(*table);
      }
      break;
    }
    case TNeeds::kTitlesOpen:
    case TNeeds::kTitlesWritable:
      if (MastData == nullptr) {
        allowed = false;
      } else if (!MastData->QvxcatTable.Active() ||
                 (needs == TNeeds::kTitlesWritable && MastData->QvxcatTable.ReadOnly())) {
        allowed = refuse(MastData->QvxcatTable);
      }
      break;
    case TNeeds::kTablesWritable: {
      bool any_open = false;
      for (const TView& view : Views()) {
        if (!view.Table().Active()) continue;
        any_open = true;
        if (view.Table().ReadOnly()) allowed = allowed && refuse(view.Table());
      }
      if (!any_open) {
        allowed = false;
        reason = opening_.Problem(Views().front().Table());
      }
      break;
    }
  }
  if (why != nullptr) *why = reason;
  return allowed;
}

void TMainForm::UpdateCommands() {
  for (const auto& [action, handler] : commands_) {
    std::string why;
    const bool allowed = Allowed(NeedsOf(handler), &why);
    action->setEnabled(allowed);
    action->setStatusTip(allowed ? QString() : AnsiToQString(why));
  }
  QuickSearchEdit->setEnabled(Allowed(TNeeds::kViewOpen));
  std::string note;
  if (const TView* view = ShownView()) note = opening_.Problem(view->Table());
  if (note.empty() && !opening_.Notices().empty()) note = opening_.Notices().back();
  StatusNote->setText(AnsiToQString(note));
  StatusNote->setToolTip(StatusNote->text());
}

// --- Commands ------------------------------------------------------------------------

void TMainForm::FileNewClick() {
  if (!Allowed(TNeeds::kViewWritable)) return;
  DBNavigator->BtnClick(TNavigateBtn::nbInsert);
  ShowRecordForm();
  UpdateStatusBar();
  ShowView(current_view_);
}

void TMainForm::FileOpenClick() {
  if (!Allowed(TNeeds::kViewOpen)) return;
  ShowRecordForm();
  UpdateStatusBar();
  ShowView(current_view_);
}

void TMainForm::FileDeleteClick() {
  if (!Allowed(TNeeds::kViewWritable)) return;
  DBNavigator->BtnClick(TNavigateBtn::nbDelete);
  UpdateStatusBar();
  DBGrid->setFocus();
}

// The catalog commands (CatalogCmds.h): another catalog, a new one, a list in, the
// view's table out.
void TMainForm::FileOpenCatalogClick() { OpenCatalogCommand(*this); }
void TMainForm::FileNewCatalogClick() { NewCatalogCommand(*this); }
void TMainForm::FileImportClick() { ImportCommand(*this); }
void TMainForm::FileExportClick() {
  ExportCommand(*this);
  DBGrid->setFocus();
}

void TMainForm::FilePrintSetupClick() {
  RunPrinterSetup(this);
  DBGrid->setFocus();
}

void TMainForm::FilePrintPreviewClick() { PreviewListReport(); }

void TMainForm::FilePrintClick() { PrintListReport(); }

void TMainForm::FileExitClick() { close(); }

void TMainForm::EditMenuClick() {
  const bool open = Allowed(TNeeds::kViewOpen);
  for (QAction* item : {EditFirst, EditPrevious, EditNext, EditLast}) item->setEnabled(open);
  if (TDevazozDataSet* table = ViewTable(); open && table != nullptr) {
    if (table->Bof()) {
      EditFirst->setEnabled(false);
      EditPrevious->setEnabled(false);
    }
    if (table->Eof()) {
      EditLast->setEnabled(false);
      EditNext->setEnabled(false);
    }
  }
}

void TMainForm::EditFindClick() {
  if (const TView* view = ShownView()) FindInView(*view);
  ShowView(current_view_);
}

void TMainForm::EditFirstClick() { DBNavigator->BtnClick(TNavigateBtn::nbFirst); }
void TMainForm::EditPreviousClick() { DBNavigator->BtnClick(TNavigateBtn::nbPrior); }
void TMainForm::EditNextClick() { DBNavigator->BtnClick(TNavigateBtn::nbNext); }
void TMainForm::EditLastClick() { DBNavigator->BtnClick(TNavigateBtn::nbLast); }

void TMainForm::ViewSortClick() {
  if (const TView* view = ShownView()) SortView(*view);
  ShowView(current_view_);
}

void TMainForm::ViewFilterClick() {
  if (const TView* view = ShownView()) FilterForm->DataSource = &view->Source();
  FilterForm->ShowModal();
  ShowView(current_view_);
}

void TMainForm::ViewToolbarClick() { ViewToolbar->toggle(); }

void TMainForm::ViewStatusBarClick() { ViewStatusBar->toggle(); }

void TMainForm::ViewSpeedBarClick() { ViewSpeedBar->toggle(); }

// Hiding takes the splitter away first; showing brings the bar back first, so that
// the splitter lands to the right of the bar.
void TMainForm::SetSpeedBarShown(bool shown) {
  if (shown) {
    ServiceTrackingBar->show();
    SetSplitterShown(true);
  } else {
    SetSplitterShown(false);
    ServiceTrackingBar->hide();
  }
}

void TMainForm::GoCatalogClick() { ShowView(1); }
void TMainForm::GoCategoriesClick() { ShowView(2); }
void TMainForm::GoDevelopersClick() { ShowView(3); }

void TMainForm::DBGridTitleClick(TDBGridColumn* column) {
  const TView* view = ShownView();
  if (view == nullptr || !view->title_click_sorts || column == nullptr) return;
  const std::string field = column->FieldName();
  if (view->HasTag(field)) {
    view->Table().SetIndexName(field);
    ShowView(current_view_);
  }
}

template <class Command>
bool TMainForm::WhileTablesChange(Command command) {
  DBGrid->setUpdatesEnabled(false);
  bool completed = false;
  try {
    completed = command();
  } catch (...) {
    DBGrid->setUpdatesEnabled(true);
    UpdateStatusBar();
    throw;
  }
  DBGrid->setUpdatesEnabled(true);
  // Counts change with a pack; the status bar says so at once.
  UpdateStatusBar();
  return completed;
}

void TMainForm::ToolsPackDataClick() {
  if (MessageDlg("Packing will permenantly remove deleted records and reclaim space used by "
                 "them. Do you wish to continue?",
                 TMsgDlgType::mtInformation,
                 platform::qt::mbYes | platform::qt::mbNo) != platform::qt::mrYes)
    return;
  if (WhileTablesChange([this] { return PackTables(this); }))
    MessageDlg("Packing successfully completed.", TMsgDlgType::mtInformation, platform::qt::mbOK);
}

void TMainForm::ToolsReindexDataClick() {
  if (MessageDlg("Reindexing will recreate corrupt index files. Do you wish to continue?",
                 TMsgDlgType::mtInformation,
                 platform::qt::mbYes | platform::qt::mbNo) != platform::qt::mrYes)
    return;
  if (WhileTablesChange([this] { return ReindexTables(this); }))
    MessageDlg("Reindexing successfully completed.", TMsgDlgType::mtInformation,
               platform::qt::mbOK);
}

void TMainForm::EditFindNextClick() {
  if (!Allowed(TNeeds::kViewOpen)) return;
  TDevazozDataSet* table = ViewTable();
  // Nothing searched in this view yet: Find asks what to look for.
  if (FindDialog->LastDataSet() != table) {
    EditFindClick();
    return;
  }
  FindDialog->FindNext();
  ShowView(current_view_);
}

void TMainForm::QuickSearchEditChange() {
  TDevazozDataSet* table = ViewTable();
  if (table == nullptr || !table->Active()) return;
  table->SetQuickSearch(platform::qt::QStringToAnsi(QuickSearchEdit->text()));
  UpdateTitle();
  UpdateStatusBar();
}

void TMainForm::ReportsStatisticsClick() {
  if (!Allowed(TNeeds::kTitlesOpen)) return;
  if (StatisticsForm == nullptr) StatisticsForm = new TStatisticsForm(this);
  StatisticsForm->Fill(MastData->QvxcatTable);
  StatisticsForm->ShowModal();
  DBGrid->setFocus();
}

void TMainForm::HelpHelpTopicsClick() { THelpWindow::ShowTopic(); }

void TMainForm::HelpAboutClick() { AboutDialog->ShowModal(); }
