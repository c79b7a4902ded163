// A small title table for dataset tests: CATALOG.DBF (FoxPro 0xF5) with its FPT
// memo file and CATALOG.CDX (tags TITLE, CATEGORY, UTITLE = UPPER(TITLE), and
// RACING = TITLE FOR CATEGORY = "Racing").
//
// Records (1-based), in natural order:
//   n  TITLE         CATEGORY  PLAYERS(N2) COUNT(N6) PRICE(N8,2) ANALOG RELEASED  NOTES
//   1  Gran Turismo  Racing    2           150       39.99       T      19980512 "Fast cars"
//   2  Ape Escape    Platform  1           20        29.5        T      19990601 -
//   3  Crash         Platform  1           10        19.99       F      00000000 -   (deleted)
//   4  Tekken 3      Fighting  2           300       34          F      (blank)  "Iron fist"
//   5  Wipeout       Racing    2           40        25          T      19951201 -   (deleted)
//   6  Bushido Blade Fighting  2           7         44.5        F      19980301 -
//   7  (blank)       Puzzle    1           0         0           F      19990229 -   (no such date)
//   8  Colin McRae   Racing    1           55        31          F      19990701 -   (deleted)
//   9  Spyro         Platform  1           88        28          T      19980909 -
//  10  Abe's Oddysee Platform  1           60        27.25       F      19970919 -
#ifndef TESTS_SUPPORT_DATASET_FIXTURE_H_
#define TESTS_SUPPORT_DATASET_FIXTURE_H_

#include <string>

namespace qvx_test {

// Writes the three files into dir; returns the table's path.
std::string WriteCatalog(const std::string& dir);

// Writes a table of `count` records (TITLE C20 "Title NNNNNN", CATEGORY C10) with a
// CDX tagged TITLE, no memo: for buffer-window and bookmark tests.
std::string WriteNumbered(const std::string& dir, int count);

}  // namespace qvx_test

#endif  // TESTS_SUPPORT_DATASET_FIXTURE_H_
