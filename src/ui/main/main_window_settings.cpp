// The main window and config.ini: what is read at start and written at close.

#include <QAction>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>
#include <algorithm>

#include "project/settings.h"
#include "ui/main/main_window.h"
#include "ui/main/messages.h"
#include "ui/main/qt_utils.h"

namespace vistrel {
namespace {
constexpr const char* kHelpFileName = "Vistrel.html";
}  // namespace

std::string TForm1::SettingsPath() const { return program_directory_ + kSettingsFileName; }

QString TForm1::HelpFilePath() const { return ToQt(program_directory_) + kHelpFileName; }

void TForm1::ReadSettings() {
  const Settings settings = ReadSettingsFile(SettingsPath(), LocaleDecimalSeparator());
  QStringList problems;
  for (const std::string& problem : settings.problems) problems << ToQt(problem);
  for (int i = 0; i < static_cast<int>(settings.colors.size()); ++i) {
    session_.Table().SetColor(i, settings.colors[static_cast<std::size_t>(i)]);
  }
  const std::pair<PaneView*, const std::string*> remembered[] = {{&left_, &settings.left_image},
                                                                 {&right_, &settings.right_image}};
  for (const auto& [pane, name] : remembered) {
    const QString path = ToQt(*name);
    if (path.isEmpty()) continue;
    if (!QFileInfo(path).isFile()) {
      pane->RememberMissing(path);
      continue;
    }
    try {
      LoadPanePicture(*pane, path);
    } catch (const std::exception& e) {
      pane->RememberMissing(path);  // remembered still: it may read again next time
      problems << QString::fromUtf8(e.what());
    }
  }
  for (PaneView* pane : {&left_, &right_}) pane->ShowFullSize();
  fit_when_shown_->setChecked(settings.fit_when_shown);
  scale_ = settings.scale;
  ball_ = settings.ball;
  store_on_click_->setChecked(settings.store_on_click);
  advance_->setChecked(settings.advance);
  SelectLensModel(settings.lens_model);
  // Shown once the window is up: a colour or a remembered photograph that could not be read.
  for (const QString& problem : problems) {
    QTimer::singleShot(0, this, [problem] { ShowErrorBox(problem); });
  }
}

void TForm1::WriteSettings() {
  Settings settings;
  settings.left_image = ToStd(left_.RememberedFile());
  settings.right_image = ToStd(right_.RememberedFile());
  const PointTable& table = session_.Table();
  for (int i = 0; i < static_cast<int>(settings.colors.size()); ++i) {
    settings.colors[static_cast<std::size_t>(i)] = table.Color(i);
  }
  settings.scale = scale_;
  settings.ball = ball_;
  settings.store_on_click = store_on_click_->isChecked();
  settings.advance = advance_->isChecked();
  settings.fit_when_shown = fit_when_shown_->isChecked();
  settings.lens_model = SelectedLensModel();
  WriteSettingsFile(SettingsPath(), settings, LocaleDecimalSeparator());
}

}  // namespace vistrel
