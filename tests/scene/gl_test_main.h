#pragma once

// main() of the OpenGL test programs: an OpenGL window needs a real X server (Xvfb will do), so
// the tests run on the xcb platform and skip themselves when no display is set.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <cstdlib>

#include "scene/viewer.h"

namespace vistrel::testing_gl {

inline bool HasDisplay() { return qApp != nullptr; }

#define VISTREL_REQUIRE_DISPLAY()                                                          \
  do {                                                                                     \
    if (!::vistrel::testing_gl::HasDisplay())                                              \
      GTEST_SKIP() << "no DISPLAY: OpenGL tests need an X server (run under xvfb-run -a)"; \
  } while (0)

// Waits until the X server takes a connection (x_display.cpp). Under load a fresh connection to
// Xvfb can be refused for a moment, and Qt gives up on the first refusal by aborting the whole
// program.
void WaitForDisplay(const char* display);

inline int RunGlTests(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const char* display = std::getenv("DISPLAY");
  std::unique_ptr<QApplication> app;
  if (!GTEST_FLAG_GET(list_tests) && display != nullptr && *display != '\0') {
    qputenv("QT_QPA_PLATFORM", "xcb");  // a GL window crashes on the offscreen platform
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
      const QString dir = QDir::tempPath() + "/vistrel-runtime-" + QString::number(getuid());
      QDir().mkpath(dir);
      QFile::setPermissions(
          dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
      qputenv("XDG_RUNTIME_DIR", dir.toLocal8Bit());
    }
    QSurfaceFormat::setDefaultFormat(scene::SceneViewer::RequestedFormat());
    WaitForDisplay(display);
    app = std::make_unique<QApplication>(argc, argv);
  }
  return RUN_ALL_TESTS();
}

}  // namespace vistrel::testing_gl
