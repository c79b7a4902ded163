// The program's data module is killed with SIGKILL at random moments while it adds,
// renames and deletes titles, edits their notes and adds categories (a child
// process, qvx_kill_worker, reports each change before it starts and once its post
// returned). After each kill the catalog is opened again, as the program's next
// start would: every change that had returned is there exactly once, the one under
// way is there wholly or not at all, each index shows exactly the table's records,
// and `devazoz check` passes on every table and index file.
//
// CI runs QVX_KILLS kills (10 by default); the full run is
//   QVX_KILLS=200 build/tests/test_app --gtest_filter='ProgramKill*'
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/DataMod.h"
#include "tests/app/app_test_support.h"
#include "tests/support/child_process.h"

namespace qvx_test {
namespace {

using std::chrono::milliseconds;

std::string NotesOf(const std::string& name, const std::string& version) {
  return "notes of " + name + ", version " + version;
}

// What the files must hold: titles (name -> count), the notes written here (name ->
// text), and the categories added here.
struct Model {
  std::map<std::string, int> titles;
  std::map<std::string, std::string> notes;
  std::map<std::string, int> categories;
};

// What the next open shows.
struct Seen {
  std::map<std::string, int> titles;            // in TITLE order
  std::map<std::string, int> natural;           // in the table's own order
  std::map<std::string, std::string> notes;     // every title's notes (last one wins)
  std::map<std::string, int> categories;        // C... entries, CATEGORY order
  std::map<std::string, int> natural_category;  // C... entries, natural order
};

Seen OpenAndRead(const std::string& dir) {
  Seen seen;
  TMastData data;
  data.SetCatalogFolder(dir);
  data.QvxcatTable.Open();
  data.CategoryTable.Open();
  data.DevdistTable.Open();
  TDevazozDataSet& t = data.QvxcatTable;
  for (t.First(); !t.Eof(); t.Next()) {
    const std::string name = data.QvxcatTableTITLE->AsString();
    ++seen.titles[name];
    seen.notes[name] = data.QvxcatTableNOTES->AsString();
  }
  t.SetIndexName("");
  for (t.First(); !t.Eof(); t.Next()) ++seen.natural[data.QvxcatTableTITLE->AsString()];
  TDevazozDataSet& c = data.CategoryTable;
  for (c.First(); !c.Eof(); c.Next()) {
    const std::string name = data.CategoryTableCATEGORY->AsString();
    if (!name.empty() && name[0] == 'C' && name.find('_') != std::string::npos)
      ++seen.categories[name];
  }
  c.SetIndexName("");
  for (c.First(); !c.Eof(); c.Next()) {
    const std::string name = data.CategoryTableCATEGORY->AsString();
    if (!name.empty() && name[0] == 'C' && name.find('_') != std::string::npos)
      ++seen.natural_category[name];
  }
  return seen;
}

int CountIn(const std::map<std::string, int>& counts, const std::string& name) {
  auto found = counts.find(name);
  return found == counts.end() ? 0 : found->second;
}

void Set(std::map<std::string, int>& counts, const std::string& name, int count) {
  if (count == 0)
    counts.erase(name);
  else
    counts[name] = count;
}

// Applies one change to the model; with `seen`, the change was under way when the
// process died: it is taken as made or as not made, as the files say, and false is
// returned when they show neither.
bool Apply(Model& m, const std::vector<std::string>& w, const Seen* seen) {
  const std::string& op = w.at(1);
  if (op == "insert") {
    const std::string& name = w.at(2);
    int made = seen ? CountIn(seen->titles, name) - CountIn(m.titles, name) : 1;
    if (made != 0 && made != 1) return false;
    Set(m.titles, name, CountIn(m.titles, name) + made);
    if (made == 1 && w.at(3) == "1") m.notes[name] = NotesOf(name, "1");
  } else if (op == "rename") {
    const std::string &from = w.at(2), &to = w.at(3);
    int made = 1;
    if (seen) {
      made = CountIn(seen->titles, to);
      if (made > 1 || CountIn(seen->titles, from) != CountIn(m.titles, from) - made) return false;
    }
    if (made == 1) {
      Set(m.titles, from, CountIn(m.titles, from) - 1);
      Set(m.titles, to, 1);
      auto notes = m.notes.find(from);
      if (notes != m.notes.end()) {
        m.notes[to] = notes->second;
        m.notes.erase(notes);
      }
    }
  } else if (op == "delete") {
    const std::string& name = w.at(2);
    int gone = seen ? CountIn(m.titles, name) - CountIn(seen->titles, name) : 1;
    if (gone != 0 && gone != 1) return false;
    Set(m.titles, name, CountIn(m.titles, name) - gone);
    if (gone == 1 && CountIn(m.titles, name) == 0) m.notes.erase(name);
  } else if (op == "memo") {
    const std::string& name = w.at(2);
    const std::string text = NotesOf(name, w.at(3));
    if (!seen) {
      m.notes[name] = text;
    } else {
      auto now = seen->notes.find(name);
      if (now == seen->notes.end()) return false;
      auto before = m.notes.find(name);
      if (now->second == text)
        m.notes[name] = text;
      else if (before != m.notes.end() && now->second != before->second)
        return false;
    }
  } else if (op == "category") {
    const std::string& name = w.at(2);
    int made = seen ? CountIn(seen->categories, name) : 1;
    if (made != 0 && made != 1) return false;
    Set(m.categories, name, made);
  }
  return true;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    fields.push_back(line.substr(start, tab - start));
  fields.push_back(line.substr(start));
  return fields;
}

std::string Check(const std::string& dir, const std::string& table, const std::string& index) {
  std::string out, err;
  RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " check '" + dir + "/" + table + "' '" + dir + "/" +
                 index + "'",
             &out, &err);
  return out + err;
}

TEST(ProgramKill, EveryReturnedChangeSurvivesAKillAtARandomMoment) {
  const char* wanted = std::getenv("QVX_KILLS");
  const int kills = wanted != nullptr ? std::atoi(wanted) : 10;
  TempDir dir;
  MakeSampleCatalog(dir.path());
  Model model;
  model.titles = OpenAndRead(dir.path()).titles;
  std::mt19937 random(2022);
  int changes = 0, under_way_made = 0, under_way_not = 0;
  for (int run = 0; run < kills; ++run) {
    ChildProcess worker;
    ASSERT_TRUE(
        worker.Start({QVX_KILL_WORKER, dir.path(), std::to_string(run), std::to_string(random())},
                     {}, "", dir.File("worker.err")));
    for (auto end = std::chrono::steady_clock::now() + milliseconds(30000);
         worker.Output().find("ready\n") == std::string::npos;) {
      ASSERT_TRUE(worker.Running())
          << "run " << run << ": " << ReadFileText(dir.File("worker.err"));
      ASSERT_LT(std::chrono::steady_clock::now(), end) << "run " << run << ": no ready";
      std::this_thread::sleep_for(milliseconds(1));
    }
    std::this_thread::sleep_for(milliseconds(random() % 150));
    ASSERT_TRUE(worker.Running()) << "run " << run << ": " << ReadFileText(dir.File("worker.err"));
    worker.Kill(SIGKILL);
    // The journal: changes that returned go into the model; the last one may be
    // under way.
    std::istringstream journal(worker.Output());
    std::vector<std::string> pending;
    for (std::string line; std::getline(journal, line);) {
      std::vector<std::string> w = Fields(line);
      if (w[0].empty() || w[0] == "ready") continue;
      if (w[0] == "begin") {
        pending = w;
      } else if (w[0] == "done") {
        ASSERT_FALSE(pending.empty());
        ASSERT_TRUE(Apply(model, pending, nullptr));
        pending.clear();
        ++changes;
      }
    }
    Seen seen = OpenAndRead(dir.path());
    if (!pending.empty()) {
      const Model before = model;
      ASSERT_TRUE(Apply(model, pending, &seen))
          << "run " << run << ": the change under way is half made: " << pending[1] << " "
          << pending[2];
      (before.titles == model.titles && before.notes == model.notes &&
               before.categories == model.categories
           ? under_way_not
           : under_way_made)++;
    }
    ASSERT_EQ(seen.titles, model.titles) << "run " << run;
    ASSERT_EQ(seen.natural, seen.titles) << "run " << run << ": the index and the table differ";
    for (const auto& [name, text] : model.notes) {
      if (CountIn(model.titles, name) == 1) {
        ASSERT_EQ(seen.notes[name], text) << "run " << run << ": notes of " << name;
      }
    }
    ASSERT_EQ(seen.categories, model.categories) << "run " << run;
    ASSERT_EQ(seen.natural_category, seen.categories) << "run " << run;
    for (const auto& [table, index] :
         {std::pair<const char*, const char*>{"QVXCAT.DBF", "QVXCAT.CDX"},
          {"CATEGORY.DBF", "CATEGORY.CDX"},
          {"DEVDIST.DBF", "DEVDIST.CDX"}})
      ASSERT_EQ(Check(dir.path(), table, index), "ok\n") << "run " << run << ": " << table;
  }
  std::printf(
      "%d kills, %d changes returned before them, the change under way made %d times and "
      "not made %d times; %zu titles now\n",
      kills, changes, under_way_made, under_way_not, model.titles.size());
}

}  // namespace
}  // namespace qvx_test
