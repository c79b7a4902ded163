// TStartWindow: shown at start, instead of the main window's error box, when the
// folder holds no catalog at all (none of QVXCAT.DBF, CATEGORY.DBF, DEVDIST.DBF).
// It offers "New catalog here", "Open a catalog…", "Try the sample catalog" (the
// sample is written into a folder the user picks) and "Quit". When it closes with
// mrOk, Folder() holds the folder whose catalog the program opens.
#ifndef APP_STARTWND_H_
#define APP_STARTWND_H_

#include <QString>
#include <functional>
#include <string>

#include "platform/qt/modal_form.h"

class QLabel;
class QPushButton;

class TStartWindow : public platform::qt::TModalForm {
  Q_OBJECT

 public:
  // folder: the folder the program was started in, which holds no catalog.
  explicit TStartWindow(const std::string& folder, QWidget* parent = nullptr);

  void NewHereBtnClick();
  void OpenBtnClick();
  void SampleBtnClick();

  const std::string& Folder() const { return folder_; }

  QLabel* MessageLabel;
  QPushButton* NewHereBtn;
  QPushButton* OpenBtn;
  QPushButton* SampleBtn;
  QPushButton* QuitBtn;

 private:
  // The folder the user picks in a folder chooser; empty when none.
  std::string ChooseFolder(const QString& title);
  // Runs make (which writes the catalog's files, or nothing); on success the window
  // closes with folder, on failure the error is shown and the window stays.
  void TakeFolder(const std::string& folder, const std::function<void()>& make);

  std::string folder_;
};

#endif  // APP_STARTWND_H_
