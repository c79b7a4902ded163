// TQvxListReportForm (instance QvxListReportForm): the never-shown container of the
// catalog list report over MastData.QvxcatTable, and the entry points through which
// the main window previews, prints and sets up the printer.
#ifndef APP_QVXLIRPT_H_
#define APP_QVXLIRPT_H_

#include <QWidget>

class TQvxListReportForm : public QWidget {
  Q_OBJECT

 public:
  explicit TQvxListReportForm(QWidget* parent = nullptr);
};

extern TQvxListReportForm* QvxListReportForm;

// Lays the report out over the title table and shows it in the preview window;
// returns when the preview closes.
void PreviewListReport();
// Lays the report out and sends it to the current printer.
void PrintListReport();
// The printer set-up dialog; its choice is the current printer of the program.
void RunPrinterSetup(QWidget* parent);

#endif  // APP_QVXLIRPT_H_
