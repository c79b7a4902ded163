#include "tests/app/app_test_support.h"

#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <cstdlib>

#include "app/Main.h"
#include "app/qvxcat.h"
#include "platform/qt/application.h"

namespace qvx_test {

void MakeSampleCatalog(const std::string& dir, int titles) {
  std::string out, err;
  ASSERT_EQ(RunCommand(std::string(QVX_SAMPLECAT_TOOL) + " '" + dir + "' --titles " +
                           std::to_string(titles),
                       &out, &err),
            0)
      << err;
}

std::string DevazozCheck(const TempDir& dir, const std::string& table, const std::string& index) {
  std::string out, err;
  RunCommand(
      std::string(QVX_DEVAZOZ_TOOL) + " check '" + dir.File(table) + "' '" + dir.File(index) + "'",
      &out, &err);
  return out + err;
}

void SaveShot(const std::string& name) {
  const char* dir = std::getenv("QVX_SHOT_DIR");
  if (dir == nullptr || MainForm == nullptr) return;
  ProcessEvents();
  MainForm->grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
}

void ProgramFixture::Start(const std::string& dir) {
  char buffer[4096];
  old_dir_ = getcwd(buffer, sizeof buffer) != nullptr ? buffer : ".";
  ASSERT_EQ(chdir(dir.c_str()), 0);
  started_ = true;
  CreateForms();
  RunAsEvent([] { MainForm->show(); });
}

void ProgramFixture::Stop() {
  if (!started_) return;
  started_ = false;
  if (MainForm != nullptr) RunAsEvent([] { MainForm->close(); });
  DestroyForms();
  ASSERT_EQ(chdir(old_dir_.c_str()), 0);
}

void ProgramFixture::TearDown() { Stop(); }

}  // namespace qvx_test
