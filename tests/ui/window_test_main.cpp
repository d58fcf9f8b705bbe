// Window tests run on the offscreen platform unless a display platform is asked for.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QLocale>
#include <cstdlib>

#include "ui/main/application.h"
#include "window_test_support.h"

namespace vistrel::testing {

std::vector<std::pair<MessageKind, QString>>& Messages() {
  static std::vector<std::pair<MessageKind, QString>> messages;
  return messages;
}

std::filesystem::path SourceDir() {
  const char* dir = std::getenv("VISTREL_SOURCE_DIR");
  return dir ? dir : VISTREL_SOURCE_DIR_FALLBACK;
}

}  // namespace vistrel::testing

// Under AddressSanitizer: full unwinding on malloc, so that leak reports name Qt's frames and the
// leak suppressions of the sanitizer run can match them (read only when the sanitizer is linked).
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    const std::string dir = "/tmp/vistrel_ui_runtime_" + std::to_string(::getuid());
    std::filesystem::create_directories(dir);
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
    qputenv("XDG_RUNTIME_DIR", dir.c_str());
  }
  ::testing::InitGoogleTest(&argc, argv);
  vistrel::TApplication app(argc, argv);
  QLocale::setDefault(QLocale::c());
  vistrel::SetMessageRecorder([](vistrel::MessageKind kind, const QString& text) {
    vistrel::testing::Messages().emplace_back(kind, text);
    return true;
  });
  return RUN_ALL_TESTS();
}
