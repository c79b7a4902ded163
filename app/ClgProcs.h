// Find and sort set-up for the title table, and the captions of its index tags.
#ifndef APP_CLGPROCS_H_
#define APP_CLGPROCS_H_

#include <string>

// Fills the find dialog's field list and data source and shows it modally.
void FindCatalog();
// Fills the sort dialog's tag lists and dataset and shows it modally.
void SortCatalog();
// The caption of a tag (exact, case-sensitive); caption is untouched when none matches.
void CatalogIndexCaption(const std::string& tag_name, std::string& caption);

#endif  // APP_CLGPROCS_H_
