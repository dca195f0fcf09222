// The GUI tests' main: one QApplication for every test, on the offscreen platform unless the
// environment asks for another.

#include <gtest/gtest.h>

#include <QApplication>

#include "ui/UiResources.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  tola::InitUiResources();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
