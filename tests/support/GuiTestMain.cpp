// The GUI tests run in process on Qt's offscreen platform, with one Qt application for the whole run.
#include <gtest/gtest.h>

#include <QString>
#include <QtGlobal>

#include <cstdio>

#include <cstdlib>

#include "Application.h"

namespace {

// The offscreen platform says so each time a window is raised or sized; that tells a test nothing.
void QuietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QStringLiteral("This plugin does not support"))) return;
  fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything makes the Qt application: no display is needed or used.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  qInstallMessageHandler(QuietOffscreenNotes);
  ::testing::InitGoogleTest(&argc, argv);
  fw::RuntimeInit(argc, argv);
  int result = RUN_ALL_TESTS();
  fw::RuntimeExit();
  return result;
}
