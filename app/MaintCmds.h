// Pack Data and Reindex Data over the views' tables, in their order, with a
// progress window (TProgressWindow) fed by each table's OnStatus reports.
//
// Where Cancel may stop the work: while a pack copies the records it keeps
// into the scratch table (the table stays as it was), and all through a
// reindex (each index file is built beside the old one, which stays when the
// build stops). Not once a packed table is being put in place and its indexes
// rebuilt: that goes on to the end, and the button says so.
//
// A failure names the table it happened on and which tables were done before
// it; a stop says the same in an information box. Tables not reached are left
// as they were.
#ifndef APP_MAINTCMDS_H_
#define APP_MAINTCMDS_H_

class QWidget;

// True when every table was packed (reindexed); false when the user stopped.
// Raises the framework's database error, with the tables named, on a failure.
bool PackTables(QWidget* parent);
bool ReindexTables(QWidget* parent);

#endif  // APP_MAINTCMDS_H_
