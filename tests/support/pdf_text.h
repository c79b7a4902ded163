// Reading PDF files back for checks, with poppler's pdftotext and pdfinfo.
#ifndef TESTS_SUPPORT_PDF_TEXT_H_
#define TESTS_SUPPORT_PDF_TEXT_H_

#include <string>
#include <vector>

namespace qvx_test {

// The text of a PDF file laid out as on the page (pdftotext -layout); pages
// are separated by form feeds.
std::string PdfText(const std::string& pdf);
// The text of each page.
std::vector<std::string> PdfPages(const std::string& pdf);
// Number of pages of a PDF file (pdfinfo).
int PdfPageCount(const std::string& pdf);

struct TPdfWord {
  int page;                           // 1-based
  double x_min, y_min, x_max, y_max;  // points from the page's top-left
  std::string text;
};
// The words of a PDF file with their boxes (pdftotext -bbox).
std::vector<TPdfWord> PdfWords(const std::string& pdf);

}  // namespace qvx_test

#endif  // TESTS_SUPPORT_PDF_TEXT_H_
