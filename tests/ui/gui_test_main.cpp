// Entry point of the GUI tests: one QApplication for all of them, on the offscreen platform
// unless another one is asked for.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
