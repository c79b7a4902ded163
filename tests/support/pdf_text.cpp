#include "tests/support/pdf_text.h"

#include <cstdio>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace qvx_test {

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
      "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" "
      "yMax=\"([0-9.]+)\">([^<]*)</word>");
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
      words.push_back(
          {page, std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), m[5]});
    pos = end + 7;
  }
  return words;
}

std::vector<std::string> PdfPages(const std::string& pdf) {
  std::vector<std::string> pages;
  std::istringstream in(PdfText(pdf));
  std::string page;
  while (std::getline(in, page, '\f')) pages.push_back(page);
  // pdftotext ends the last page with a form feed too.
  if (!pages.empty() && pages.back().find_first_not_of(" \n") == std::string::npos)
    pages.pop_back();
  return pages;
}

}  // namespace qvx_test
