// The VISTREL program: the main window, then the 3D window and the help windows, hidden, then
// the event loop.

#include <exception>

#include "ui/help/help_window.h"
#include "ui/main/application.h"
#include "ui/main/main_window.h"
#include "ui/main/messages.h"
#include "ui/view3d/reconstruction_window.h"

int main(int argc, char** argv) {
  vistrel::TApplication app(argc, argv);
  app.LoadFrenchTranslations();
  // Events are guarded by the application itself; this catches what escapes the building of
  // the windows, before the event loop runs, so that it is told instead of aborting.
  try {
    vistrel::TForm1 form1;
    // The 3D window reads the two scale values that the main window took from the settings.
    vistrel::view3d::TForm2 form2(form1.Scale(), form1.Ball(), "geom.txt", &form1);
    vistrel::TForm3 form3;  // the instructions window exists hidden
    vistrel::THelpViewer help;
    form1.on_show_help = [&help](const QString& file) { help.ShowContents(file); };
    form1.on_show_3d = [&form2] { form2.exec(); };

    form1.showMaximized();
    return app.exec();
  } catch (const std::exception& e) {
    vistrel::ShowErrorBox(QString::fromUtf8(e.what()));
  } catch (...) {
    vistrel::ShowErrorBox("Erreur inconnue");
  }
  return 3;
}
