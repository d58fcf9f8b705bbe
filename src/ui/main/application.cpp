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
    ShowErrorBox("Erreur inconnue");
  }
  return false;
}

bool TApplication::LoadFrenchTranslations() {
  auto* translator = new QTranslator(this);
  if (!translator->load("qtbase_fr", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  installTranslator(translator);
  return true;
}

}  // namespace vistrel
