// The program's entry module: creates the application object, gives it its title,
// creates every window and the data module once in a fixed order, and runs the
// message loop until the main window closes.
#ifndef APP_QVXCAT_H_
#define APP_QVXCAT_H_

// Creates the windows and the data module in the program's order: MainForm,
// AboutDialog, MastData, CatalogForm, DeveloperForm, CategoryForm,
// QvxListReportForm, SortDialog, FindDialog, FilterForm. The application object
// must exist.
void CreateForms();
// Frees what CreateForms made, in the reverse order.
void DestroyForms();

// The whole program: returns the exit code of the message loop.
int QvxcatMain(int argc, char** argv);

#endif  // APP_QVXCAT_H_
