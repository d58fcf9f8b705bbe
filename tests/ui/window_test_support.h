#pragma once

// Shared by the window tests: the recorded message boxes, a scratch directory that serves as
// both the program directory and the working directory, and a main window shown in one.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QString>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"
#include "ui/main/main_window.h"
#include "ui/main/messages.h"

namespace vistrel::testing {

// Boxes shown since the last Clear(), in order.
std::vector<std::pair<MessageKind, QString>>& Messages();

// A fresh directory (TempDir) that is also the current directory while the object lives.
class ScratchDirectory {
 public:
  ScratchDirectory() { std::filesystem::current_path(path_); }
  ~ScratchDirectory() { std::filesystem::current_path(previous_); }
  const std::filesystem::path& path() const { return path_; }
  // The directory as the window takes it, ending in '/'.
  std::string program_directory() const { return path_.string() + "/"; }

 private:
  TempDir temp_;
  std::filesystem::path path_ = temp_.path();
  std::filesystem::path previous_ = std::filesystem::current_path();
};

std::filesystem::path SourceDir();

// While it lives, every question is answered `answer` (a SaveAnswer's value, or nonzero for yes);
// boxes are still recorded. Afterwards questions are answered yes, as in every test.
class ScopedAnswer {
 public:
  explicit ScopedAnswer(int answer) { Answer(answer); }
  ~ScopedAnswer() { Answer(1); }

 private:
  static void Answer(int answer) {
    SetMessageRecorder([answer](MessageKind kind, const QString& text) {
      Messages().emplace_back(kind, text);
      return answer;
    });
  }
};

// A window on the built-in photographs with its program directory and working directory in a
// scratch folder (holding the demo's control points if `demo_reference`), shown at its designed
// size, with no message box shown yet.
class WindowTest : public ::testing::Test {
 protected:
  explicit WindowTest(bool demo_reference = false) : demo_reference_(demo_reference) {}
  void SetUp() override {
    Messages().clear();
    if (demo_reference_) {
      std::filesystem::copy_file(SourceDir() / "examples/reference.txt",
                                 dir_.path() / "reference.txt");
    }
    form_ = std::make_unique<TForm1>(dir_.program_directory());
    form_->resize(1005, 739);
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  }
  void TearDown() override {
    if (form_) form_->hide();  // not close(): that would write the settings
  }

  template <class T>
  T* Child(const char* name) {
    T* child = form_->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  void Click(const char* button) { QTest::mouseClick(Child<QPushButton>(button), Qt::LeftButton); }

  ScratchDirectory dir_;
  std::unique_ptr<TForm1> form_;

 private:
  bool demo_reference_;
};

// The same on the demo project's control points.
class DemoWindowTest : public WindowTest {
 protected:
  DemoWindowTest() : WindowTest(true) {}
};

}  // namespace vistrel::testing
