// Title-shaped values for the benchmarks: two to four words from a list of 62
// game words, three in ten followed by a sequel number 2..9 (as in the titles of
// the catalogs other programs wrote), and one of 16 categories. Sorted, such
// titles share long prefixes, as real catalogs do.
#ifndef BENCH_BENCH_TITLES_H_
#define BENCH_BENCH_TITLES_H_

#include <cstdint>
#include <string>

class BenchTitles {
 public:
  explicit BenchTitles(uint32_t seed = 2463534242u) : state_(seed ? seed : 1) {}

  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }

  // A title blank-padded to width.
  std::string Title(size_t width = 40) {
    static const char* const kWords[] = {
        "Men",    "Quest",  "Jungle", "Magic",   "Pinball", "Extreme", "Storm",    "Racer",
        "Ice",    "Hero",   "Golf",   "Final",   "Space",   "Fire",    "Resident", "Racing",
        "Evil",   "Star",   "Street", "Metal",   "Bandit",  "Robot",   "Kingdom",  "Silent",
        "Hill",   "Dark",   "Crash",  "Tour",    "Shadow",  "Monster", "Iron",     "Thunder",
        "Solid",  "Gear",   "Wars",   "Warrior", "Tomb",    "Speed",   "Raider",   "Legend",
        "Galaxy", "Castle", "Super",  "Soccer",  "Grand",   "Truck",   "Rally",    "Mega",
        "Island", "Hockey", "Chess",  "Fighter", "Ultra",   "Ridge",   "Ninja",    "Army",
        "Knight", "Blade",  "Ocean",  "Cyber",   "Tennis",  "Night"};
    std::string t;
    int words = 2 + int(Next() % 3);
    for (int i = 0; i < words; ++i) {
      if (i) t += ' ';
      t += kWords[Next() % 62];
    }
    if (Next() % 10 < 3) {
      t += ' ';
      t += char('2' + Next() % 8);
    }
    t.resize(width, ' ');
    return t;
  }

  // A category blank-padded to width.
  std::string Category(size_t width = 30) {
    static const char* const kCategories[] = {"Action",      "Adventure",  "Arcade", "Compilation",
                                              "Educational", "Fighting",   "Horror", "Music",
                                              "Platform",    "Puzzle",     "Racing", "Role-Playing",
                                              "Shooter",     "Simulation", "Sports", "Strategy"};
    std::string c = kCategories[Next() % 16];
    c.resize(width, ' ');
    return c;
  }

 private:
  uint32_t state_;
};

#endif  // BENCH_BENCH_TITLES_H_
