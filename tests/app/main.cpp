// The window tests run offscreen under the program's own application object.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/qt/application.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  platform::qt::TApplication application(argc, argv);
  application.SetTitle("QVX Catalog");
  application.setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
