#include "ui/main/application.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <exception>

#include "ui/main/messages.h"

namespace vistrel {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(kProgramTitle);
  setApplicationDisplayName(kProgramTitle);
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowErrorBox(QString::fromUtf8(e.what()));
  } catch (...) {
    ShowErrorBox(QCoreApplication::translate("vistrel", "Unknown error"));
  }
  return false;
}

bool TApplication::UseLanguage(Language language) {
  SetUiLanguage(language);
  for (QTranslator* translator : translators_) {
    removeTranslator(translator);
    delete translator;
  }
  translators_.clear();
  if (language != Language::kFrench) return true;
  bool all = true;
  const std::pair<QString, QString> catalogues[] = {
      {"qtbase_fr", QLibraryInfo::path(QLibraryInfo::TranslationsPath)},
      {"vistrel_fr", ":/vistrel/i18n"}};
  for (const auto& [name, directory] : catalogues) {
    auto* translator = new QTranslator(this);
    if (translator->load(name, directory)) {
      installTranslator(translator);
      translators_.push_back(translator);
    } else {
      delete translator;
      all = false;
    }
  }
  return all;
}

}  // namespace vistrel
