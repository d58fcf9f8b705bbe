#pragma once

// Help: a small viewer for the HTML help document shipped beside the executable, and the hidden
// window with the French operating instructions.

#include <QString>
#include <QWidget>

class QPlainTextEdit;
class QTextBrowser;

namespace vistrel {

// Shows an HTML document at its table of contents (the anchor "contents" when the document has
// one, its top otherwise): the file given when it exists, else the help built into the program.
class THelpViewer : public QWidget {
  Q_OBJECT

 public:
  explicit THelpViewer(QWidget* parent = nullptr);

  // Opens `help_file`, or `built_in` (a resource path) when there is no such file, and brings the
  // window up. Neither: says so inside the viewer.
  void ShowContents(const QString& help_file, const QString& built_in = {});

  QTextBrowser* Browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

// "Aide": one editable text box with the operating instructions. Created hidden at start; no
// command shows it.
// The help built into the program, in English or in French.
inline constexpr const char* kBuiltInHelp = ":/vistrel/help/Vistrel.html";
inline constexpr const char* kBuiltInHelpFrench = ":/vistrel/help/Vistrel_fr.html";

class TForm3 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm3(QWidget* parent = nullptr);

  QPlainTextEdit* Memo1 = nullptr;
};

// The instructions text of TForm3.
QString InstructionsText();

}  // namespace vistrel
