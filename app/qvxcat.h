// The program's entry module: creates the application object, gives it its title,
// creates every window and the data module once in a fixed order, finds the
// catalog to open (qvxcat [DIR]: the folder named, else the current directory; a
// folder without any catalog table gets the start window), and runs the message
// loop until the main window closes.
#ifndef APP_QVXCAT_H_
#define APP_QVXCAT_H_

#include <string>

// Creates the windows and the data module in the program's order: MainForm,
// AboutDialog, MastData, CatalogForm, DeveloperForm, CategoryForm,
// QvxListReportForm, SortDialog, FindDialog, FilterForm. The application object
// must exist.
void CreateForms();
// Frees what CreateForms made, in the reverse order.
void DestroyForms();

// Where the program starts: folder (empty for the current directory) when it holds
// a catalog, or at least one of its tables (the open then names what is missing);
// otherwise the start window offers to make, open or try one and folder becomes
// its choice. False when the user quits there. REQUIRES: the forms exist.
bool ChooseStartFolder(std::string& folder);

// The whole program: returns the exit code of the message loop.
int QvxcatMain(int argc, char** argv);

#endif  // APP_QVXCAT_H_
