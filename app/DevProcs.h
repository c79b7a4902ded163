// Find and sort set-up for the developer/distributor table, and the captions of its index tags.
#ifndef APP_DEVPROCS_H_
#define APP_DEVPROCS_H_

#include <string>

// Fills the find dialog's field list and data source and shows it modally.
void FindDevDist();
// Fills the sort dialog's tag lists and dataset and shows it modally.
void SortDevDist();
// The caption of a tag (exact, case-sensitive); caption is untouched when none matches.
void DevDistIndexCaption(const std::string& tag_name, std::string& caption);

#endif  // APP_DEVPROCS_H_
