#include "tests/report/report_test_support.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <stdexcept>

void EnsureReportApp() {
  if (QApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "report_test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

namespace {

std::string Run(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  if (pclose(pipe) != 0) throw std::runtime_error("failed: " + command);
  return out;
}

}  // namespace

std::string PdfText(const std::string& pdf) { return Run("pdftotext -layout '" + pdf + "' -"); }

int PdfPageCount(const std::string& pdf) {
  std::smatch m;
  const std::string info = Run("pdfinfo '" + pdf + "'");
  static const std::regex pages("Pages:\\s+(\\d+)");
  if (!std::regex_search(info, m, pages)) return -1;
  return std::stoi(m[1]);
}

std::vector<TPdfWord> PdfWords(const std::string& pdf) {
  const std::string html = Run("pdftotext -bbox '" + pdf + "' -");
  std::vector<TPdfWord> words;
  int page = 0;
  static const std::regex word(
      "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>");
  size_t pos = 0;
  while (pos < html.size()) {
    size_t page_at = html.find("<page ", pos);
    size_t word_at = html.find("<word ", pos);
    if (word_at == std::string::npos) break;
    if (page_at != std::string::npos && page_at < word_at) {
      ++page;
      pos = page_at + 1;
      continue;
    }
    size_t end = html.find("</word>", word_at);
    std::smatch m;
    std::string piece = html.substr(word_at, end + 7 - word_at);
    if (std::regex_match(piece, m, word))
      words.push_back({page, std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]),
                       m[5]});
    pos = end + 7;
  }
  return words;
}

std::string TempDir() {
  char templ[] = "/tmp/qvx_report_XXXXXX";
  if (!mkdtemp(templ)) throw std::runtime_error("mkdtemp");
  return templ;
}
