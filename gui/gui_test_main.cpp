// The main of widget tests: GoogleTest inside a QApplication. The tests' CTest
// environment chooses Qt's offscreen platform; run by hand without one, the
// offscreen platform is taken too, so no display is ever needed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests (CTest's discovery at build time) needs no application.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt's settings of its own (the file dialog's last folder and history) in a
  // folder of this run: the user's would make a dialog start elsewhere, and
  // one test run would steer the next.
  QTemporaryDir settings;
  if (settings.isValid()) qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
