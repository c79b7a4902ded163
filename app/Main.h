// TMainForm, the main window: the only non-modal window. It shows one of the three
// tables at a time in a read-only grid (the Catalog, Categories and Developers
// views) and carries every command: new, open and delete records, print, find,
// navigate, sort and filter, switch the view, pack and reindex, about.
//
// How it is organised. The window holds its layout and its commands, not the data:
// the tables belong to the data module (DataMod.h), and everything that differs
// between the views (table, data source, title, Find fields, Sort tags and their
// captions, record form) is a row of the table of views (Views.h), read through
// ShownView(); no command switches on the view number. The constructor builds the
// window in four parts, each by one Create function: the menus (CreateMenus: one
// AddMenuItem line per item, naming its handler), the tool bar (CreateToolBar: a
// table of buttons), the client panel (speed bar, title bar, grid) and the status
// bar. Every command is a handler named after its menu item (FileNewClick, ...),
// connected through ConnectCommand, so an exception ends in the application's error
// box and skips the rest of the command. A command that changes records, order or
// filter ends with ShowView(CurrentView()), which refreshes title and status bar
// and gives the grid the focus. To add a command: declare its handler below, add its
// menu item (and tool bar button) in CreateMenus (CreateToolBar), write the handler
// in the commands part of Main.cpp; a window it opens lives in its own file pair.
#ifndef APP_MAIN_H_
#define APP_MAIN_H_

#include <QMainWindow>
#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "app/DataMod.h"
#include "app/TableOpen.h"

struct TView;

class QAction;
class QLabel;
class QLineEdit;
class TBackgroundWork;
class QMenu;
class QPushButton;
class QScrollArea;
class QSplitter;
class QStatusBar;
class QToolBar;
class QToolButton;
class QWidget;

namespace platform::qt {
class TDBGrid;
class TDBGridColumn;
class TDBGridColumns;
class TDBNavigator;
}  // namespace platform::qt

class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // Event handlers, named after their controls.
  void FormShow();
  void FormClose();
  void FileNewClick();
  void FileOpenClick();
  void FileDeleteClick();
  void FileOpenCatalogClick();
  void FileNewCatalogClick();
  void FileImportClick();
  void FileExportClick();
  void FilePrintSetupClick();
  void FilePrintPreviewClick();
  void FilePrintClick();
  void FileExitClick();
  void EditMenuClick();
  void EditFindClick();
  void EditFindNextClick();
  void EditFirstClick();
  void EditPreviousClick();
  void EditNextClick();
  void EditLastClick();
  void ViewSortClick();
  void ViewFilterClick();
  void ViewToolbarClick();
  void ViewStatusBarClick();
  void ViewSpeedBarClick();
  void GoCatalogClick();
  void GoCategoriesClick();
  void GoDevelopersClick();
  void ReportsStatisticsClick();
  void QuickSearchEditChange();
  void ToolsPackDataClick();
  void ToolsReindexDataClick();
  void HelpHelpTopicsClick();
  void HelpAboutClick();
  void DBGridTitleClick(platform::qt::TDBGridColumn* column);
  void FileMenuClick() {}
  void ViewMenuClick() {}
  void GoMenuClick() {}
  void ReportsMenuClick() {}
  void ToolsMenuClick() {}
  void HelpMenuClick() {}

  // Selects a view (0 none, 1 Catalog, 2 Categories, 3 Developers) and refreshes.
  void ShowView(int view);
  void UpdateTitle();
  void UpdateStatusBar();
  // Enables the commands whose tables can do them, disables the others, and shows
  // why in the status bar (StatusNote): a table closed since the start, or open
  // only for reading. Run by ShowView, so after every command.
  void UpdateCommands();
  QString IndexCaption(const QString& tag_name) const;

  int CurrentView() const { return current_view_; }
  // Every table of the views is open (for reading at least).
  bool TablesOpen() const;
  // The table-of-views entry of the current view; null for view 0.
  const TView* ShownView() const;

  // Controls, named as on the form.
  QMenu* FileMenu = nullptr;
  QMenu* EditMenu = nullptr;
  QMenu* ViewMenu = nullptr;
  QMenu* GoMenu = nullptr;
  QMenu* ReportsMenu = nullptr;
  QMenu* ToolsMenu = nullptr;
  QMenu* HelpMenu = nullptr;
  QAction* FileNew = nullptr;
  QAction* FileOpen = nullptr;
  QAction* FileDelete = nullptr;
  QAction* FileOpenCatalog = nullptr;
  QAction* FileNewCatalog = nullptr;
  QAction* FileImport = nullptr;
  QAction* FileExport = nullptr;
  QAction* FilePrintSetup = nullptr;
  QAction* FilePrintPreview = nullptr;
  QAction* FilePrint = nullptr;
  QAction* FileExit = nullptr;
  QAction* EditFind = nullptr;
  QAction* EditFindNext = nullptr;
  QAction* EditFirst = nullptr;
  QAction* EditPrevious = nullptr;
  QAction* EditNext = nullptr;
  QAction* EditLast = nullptr;
  QAction* ViewSort = nullptr;
  QAction* ViewFilter = nullptr;
  QAction* ViewToolbar = nullptr;
  QAction* ViewStatusBar = nullptr;
  QAction* ViewSpeedBar = nullptr;
  QAction* GoCatalog = nullptr;
  QAction* GoCategories = nullptr;
  QAction* GoDevelopers = nullptr;
  QAction* ReportsQVXCatalogList = nullptr;
  QAction* ReportsStatistics = nullptr;
  QAction* ToolsPackData = nullptr;
  QAction* ToolsReindexData = nullptr;
  QAction* HelpHelpTopics = nullptr;
  QAction* HelpAbout = nullptr;

  QToolBar* ToolBar = nullptr;
  // The quick search box at the end of the tool bar (Ctrl+K, or / in the grid).
  QLineEdit* QuickSearchEdit = nullptr;
  QWidget* ClientPanel = nullptr;
  QScrollArea* ServiceTrackingBar = nullptr;
  QToolButton* SpeedButton3 = nullptr;  // Catalog
  QToolButton* SpeedButton1 = nullptr;  // Categories
  QToolButton* SpeedButton4 = nullptr;  // Developers
  QSplitter* Splitter = nullptr;
  QWidget* TitleBar = nullptr;
  QLabel* TitlePanel1 = nullptr;
  QLabel* TitlePanel2 = nullptr;
  platform::qt::TDBGrid* DBGrid = nullptr;
  QStatusBar* StatusBar = nullptr;
  QLabel* StatusPanel[3] = {nullptr, nullptr, nullptr};
  // Right of the panels: why commands are disabled, or what the start did by itself.
  QLabel* StatusNote = nullptr;
  platform::qt::TDBNavigator* DBNavigator = nullptr;
  QPushButton* Button1 = nullptr;

  // Whether the splitter's handle between speed bar and view area is shown.
  bool SplitterVisible() const;
  // Reading the tables for their counts between events (see BackgroundWork.h).
  TBackgroundWork* BackgroundWork() const { return background_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateMenus();
  void CreateToolBar();
  void CreateClientPanel();
  void CreateStatusBar();
  QAction* AddMenuItem(QMenu* menu, const QString& name, const QString& caption,
                       void (TMainForm::*handler)(), const QKeySequence& shortcut = {});
  void SetStatusPanelWidth(int panel, int width);
  void SetSplitterShown(bool shown);
  void SetSpeedBarShown(bool shown);

  // What each command needs of the tables (see UpdateCommands).
  enum class TNeeds {
    kNothing,         // File > Exit, Help, the bars, the Go commands
    kViewOpen,        // the current view's table is open
    kViewWritable,    // ... and open for writing
    kTitlesOpen,      // the title table is open (the list report, export)
    kTitlesWritable,  // ... and open for writing (import)
    kTablesWritable,  // every open table is open for writing (pack, reindex)
  };
  using Handler = void (TMainForm::*)();
  static TNeeds NeedsOf(Handler handler);
  // Whether the tables can do what `needs` asks; when not, `why` says why.
  bool Allowed(TNeeds needs, std::string* why = nullptr) const;
  QAction* AddCommand(QAction* action, Handler handler);

  // The current view's table; null for view 0.
  TDevazozDataSet* ViewTable() const;
  int ShowRecordForm();

  // The window's first size: the designed size is the least, and it grows with
  // the screen it appears on.
  void SizeToScreen();
  // Pack and Reindex: the grid is not painted from tables being rewritten.
  template <class Command>
  bool WhileTablesChange(Command command);

  TBackgroundWork* background_ = nullptr;
  TCatalogOpen opening_;
  // Every action that runs a command, with its handler (menu items and tool buttons).
  std::vector<std::pair<QAction*, Handler>> commands_;
  int current_view_ = 0;
  bool shown_once_ = false;
  platform::qt::TDBGridColumns* saved_columns_ = nullptr;
  TDataSource* saved_data_source_ = nullptr;
};

extern TMainForm* MainForm;

#endif  // APP_MAIN_H_
