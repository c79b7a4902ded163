// Find and sort set-up for the category table, and the captions of its index tags.
#ifndef APP_CGRPROCS_H_
#define APP_CGRPROCS_H_

#include <string>

// Fills the find dialog's field list and data source and shows it modally.
void FindCategory();
// Fills the sort dialog's tag lists and dataset and shows it modally.
void SortCategory();
// The caption of a tag (exact, case-sensitive); caption is untouched when none matches.
void CategoryIndexCaption(const std::string& tag_name, std::string& caption);

#endif  // APP_CGRPROCS_H_
