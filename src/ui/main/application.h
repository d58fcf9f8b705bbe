#pragma once

#include <QApplication>

namespace vistrel {

// The application object. Every failure that escapes an event handler ends here and is shown in
// the error box; the event loop carries on.
class TApplication : public QApplication {
  Q_OBJECT

 public:
  TApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Installs Qt's own French translations (qtbase_fr) so that its dialogs speak French. False
  // when they are not installed.
  bool LoadFrenchTranslations();
};

}  // namespace vistrel
