// Runs the dialog test classes in one QApplication on the offscreen platform.
#include <QApplication>

namespace mailsift::gui::test {
int runBrowseFolderDialogTests(int argc, char** argv);
int runQtDialogsTests(int argc, char** argv);
}  // namespace mailsift::gui::test

int main(int argc, char** argv) {
  // No screen is needed; ctest sets this too, a direct run may not.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The tests find and answer Qt's own file dialogs, never a desktop's.
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication app(argc, argv);
  int failures = 0;
  failures += mailsift::gui::test::runBrowseFolderDialogTests(argc, argv);
  failures += mailsift::gui::test::runQtDialogsTests(argc, argv);
  return failures == 0 ? 0 : 1;
}
