// qvx_kill_worker DIR RUN SEED: the program's data module on the catalog in DIR,
// changing it as a user would, until it is killed. Used by the program's kill test
// (tests/app/program_kill_test.cpp), which kills it with SIGKILL at a random moment
// and then checks that every change whose line says it returned is in the files.
//
// Each change is written to stdout, flushed, as two lines (fields parted by tabs,
// since titles hold blanks):
//   begin insert NAME NOTES | begin rename OLD NEW | begin delete NAME |
//   begin memo NAME VERSION | begin category NAME
//   done
// "done" is written once the post (or delete) has returned. Names made here are
// K<RUN>_<n> (titles) and C<RUN>_<n> (categories); notes are "notes of NAME,
// version V" (an insert with NOTES 1 has version 1). "ready" comes first, once the tables are open.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/DataMod.h"

namespace {

void Line(const std::string& text) {
  std::fputs((text + "\n").c_str(), stdout);
  std::fflush(stdout);
}

std::string Title(TMastData& data) { return data.QvxcatTableTITLE->AsString(); }

bool GoTo(TMastData& data, const std::string& title) {
  return data.QvxcatTable.Locate("TITLE", platform::TVariant(title), 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: qvx_kill_worker DIR RUN SEED\n", stderr);
    return 2;
  }
  const std::string run = argv[2];
  std::mt19937 random(unsigned(std::strtoul(argv[3], nullptr, 10)));
  try {
    TMastData data;
    data.SetCatalogFolder(argv[1]);
    data.QvxcatTable.Open();
    data.CategoryTable.Open();
    data.DevdistTable.Open();
    std::vector<std::string> titles;
    for (data.QvxcatTable.First(); !data.QvxcatTable.Eof(); data.QvxcatTable.Next())
      titles.push_back(Title(data));
    Line("ready");
    auto pick = [&]() -> std::string& { return titles[random() % titles.size()]; };
    for (int n = 0; n < 1000000; ++n) {
      const int what = int(random() % 100);
      const std::string name = "K" + run + "_" + std::to_string(n);
      if (what < 40 || titles.size() < 5) {
        const bool notes = random() % 2 != 0;
        Line("begin\tinsert\t" + name + (notes ? "\t1" : "\t0"));
        data.QvxcatTable.Insert();
        data.QvxcatTableTITLE->SetAsString(name);
        data.QvxcatTableCATEGORY->SetAsString("Racing");
        if (notes) data.QvxcatTableNOTES->SetAsString("notes of " + name + ", version 1");
        data.QvxcatTable.Post();
        titles.push_back(name);
      } else if (what < 60) {
        std::string& old = pick();
        if (!GoTo(data, old)) return 3;
        Line("begin\trename\t" + old + "\t" + name);
        data.QvxcatTable.Edit();
        data.QvxcatTableTITLE->SetAsString(name);
        data.QvxcatTable.Post();
        old = name;
      } else if (what < 75) {
        std::string& gone = pick();
        if (!GoTo(data, gone)) return 3;
        Line("begin\tdelete\t" + gone);
        data.QvxcatTable.Delete();
        gone = titles.back();
        titles.pop_back();
      } else if (what < 95) {
        const std::string& title = pick();
        if (!GoTo(data, title)) return 3;
        const std::string version = std::to_string(n);
        Line("begin\tmemo\t" + title + "\t" + version);
        data.QvxcatTable.Edit();
        data.QvxcatTableNOTES->SetAsString("notes of " + title + ", version " + version);
        data.QvxcatTable.Post();
      } else {
        const std::string category = "C" + run + "_" + std::to_string(n);
        Line("begin\tcategory\t" + category);
        data.CategoryTable.Insert();
        data.CategoryTableCATEGORY->SetAsString(category);
        data.CategoryTable.Post();
      }
      Line("done");
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qvx_kill_worker: %s\n", e.what());
    return 1;
  }
  return 0;
}
