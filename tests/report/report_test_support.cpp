#include "tests/report/report_test_support.h"

#include <QApplication>

void EnsureReportApp() {
  if (QApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "report_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}
