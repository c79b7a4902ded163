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

void ModalAnswerer::Press(const QString& button) {
  Then([button](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << "not a message box: " << modal->metaObject()->className();
    for (QAbstractButton* b : box->buttons()) {
      if (b->text() == button) {
        b->click();
        return;
      }
    }
    ADD_FAILURE() << "no button " << button.toStdString() << " in box "
                  << box->text().toStdString();
    box->reject();
  });
}

QStringList ModalAnswerer::Texts() const {
  QStringList texts;
  for (const qvxtest::MessageSeen& seen : answers_.Seen()) texts << seen.text;
  return texts;
}

void RunAsEvent(const std::function<void()>& work) {
  bool done = false;
  QTimer::singleShot(0, [&] {
    struct Finish {
      bool& flag;
      ~Finish() { flag = true; }
    } finish{done};
    // As the message loop runs a command: an error is shown in a box.
    platform::qt::Application()->Guard(work);
  });
  while (!done) QApplication::processEvents(QEventLoop::AllEvents, 10);
  ProcessEvents();
}

void SaveShot(const std::string& name) {
  const char* dir = std::getenv("QVX_SHOT_DIR");
  if (dir == nullptr || MainForm == nullptr) return;
  ProcessEvents();
  MainForm->grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
}

void ProcessEvents() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
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
