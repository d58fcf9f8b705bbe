#pragma once

#include <QApplication>
#include <vector>

#include "project/language.h"

class QTranslator;

namespace vistrel {

// The application object. Every failure that escapes an event handler ends here and is shown in
// the error box; the event loop carries on.
class TApplication : public QApplication {
  Q_OBJECT

 public:
  TApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Makes the windows speak `language`; call before any window exists. In French: the program's
  // own translations, built in, and Qt's (qtbase_fr) for its dialogs, buttons and key names.
  // False when one of them could not be loaded (the texts it lacks stay in English).
  bool UseLanguage(Language language);

 private:
  std::vector<QTranslator*> translators_;  // installed by UseLanguage
};

}  // namespace vistrel
