// qvx_listreport DIR OUTPUT.pdf [--filter EXPRESSION] [--tag NAME]
// qvx_listreport DIR --preview [--filter EXPRESSION] [--tag NAME]
//
// Renders the catalog list report of the catalog in DIR (QVXCAT.DBF with
// QVXCAT.CDX) to a PDF file with the program's own report, or shows it in the
// report's preview window. The titles are listed in the order of index tag
// NAME (TITLE when not given; an empty NAME means record order) and, with
// --filter, only those for which the xBase EXPRESSION is true.
// Exit status: 0 done, 1 failure (message on standard error), 2 wrong usage.
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "app/QvxLiRpt.h"
#include "engine/dataset/Zavaz6UZ.h"
#include "platform/qt/ansi_text.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: qvx_listreport DIR OUTPUT.pdf [--filter EXPRESSION] [--tag NAME]\n"
               "       qvx_listreport DIR --preview [--filter EXPRESSION] [--tag NAME]\n");
  return 2;
}

bool HasTag(devazoz::TDevazozDataSet& table, const std::string& name) {
  const QString wanted = QString::fromStdString(name).toUpper();
  for (int n = 1; n <= table.TagCount(); ++n)
    if (QString::fromStdString(table.TagName(n)).toUpper() == wanted) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir, output, filter, tag = "TITLE";
  bool preview = false, have_filter = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--filter" && i + 1 < argc) {
      filter = argv[++i];
      have_filter = true;
    } else if (arg == "--tag" && i + 1 < argc) {
      tag = argv[++i];
    } else if (arg == "--preview") {
      preview = true;
    } else if (arg.rfind("--", 0) == 0) {
      return Usage();
    } else if (dir.empty()) {
      dir = arg;
    } else if (output.empty()) {
      output = arg;
    } else {
      return Usage();
    }
  }
  if (dir.empty() || (output.empty() != preview)) return Usage();

  // Writing a PDF needs no screen.
  if (!preview && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("QVX Catalog");
  try {
    devazoz::TDevazozDataSet table;
    table.SetDatabaseName(QDir(QString::fromLocal8Bit(dir.c_str())).absolutePath().toStdString());
    table.SetTableName("QVXCAT.DBF");
    table.SetIndexFiles({"QVXCAT.CDX"});
    table.SetReadOnly(true);
    table.SetExclusive(false);
    table.Open();
    if (!tag.empty() && !HasTag(table, tag)) {
      std::fprintf(stderr, "qvx_listreport: no index tag %s in QVXCAT.CDX\n", tag.c_str());
      return 1;
    }
    table.SetIndexName(tag);
    if (have_filter) {
      // The expression is written in the interface's character set, like the
      // filter dialog's text.
      table.SetFilter(platform::qt::QStringToAnsi(QString::fromLocal8Bit(filter.c_str())));
      table.SetFiltered(true);
    }
    TQvxListReportForm form(&table);
    if (preview) {
      form.QuickRep1->Preview();
    } else {
      const int pages = form.QuickRep1->ExportToPdf(QString::fromLocal8Bit(output.c_str()));
      std::printf("%d page%s written to %s\n", pages, pages == 1 ? "" : "s", output.c_str());
    }
    table.Close();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qvx_listreport: %s\n", e.what());
    return 1;
  }
  return 0;
}
