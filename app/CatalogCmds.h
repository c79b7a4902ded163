// The File menu's catalog commands: Open Catalog, New Catalog, Import and Export,
// and the switch from one catalog to another they share. The main window's
// handlers call these; each command is one user action run to its end on the
// user-interface thread (long work under a progress window).
//
// An import works on the catalog's files, not on the windows' datasets: the
// catalog is closed as exit closes it, the list goes in through tables opened for
// the work (exclusive, natural order, indexes kept current), and the catalog is
// opened again for the windows. So the window's order, filter and cursor take no
// part in the import's search for titles already there, and nothing on the screen
// follows every one of 100,000 posts. Undo works the same way.
#ifndef APP_CATALOGCMDS_H_
#define APP_CATALOGCMDS_H_

#include <QString>
#include <string>

class TMainForm;

// "~/games - QVX Catalog": the caption that names the open catalog's folder.
QString CatalogCaption(const std::string& folder);
// The folder of the catalog the windows show (the data module's), absolute.
std::string ShownCatalogFolder();

// Closes the catalog the window shows and opens the one in folder. When a table of
// it stays closed (the open has said why), or the open raises, the previous catalog
// is opened again; what was raised goes on to the caller.
void SwitchCatalog(TMainForm& form, const std::string& folder);

void OpenCatalogCommand(TMainForm& form);
void NewCatalogCommand(TMainForm& form);
void ImportCommand(TMainForm& form);
void ExportCommand(TMainForm& form);

#endif  // APP_CATALOGCMDS_H_
