// The VISTREL program: the main window, then the help windows, then the event loop.

#include "ui/help/help_window.h"
#include "ui/main/application.h"
#include "ui/main/main_window.h"

int main(int argc, char** argv) {
  vistrel::TApplication app(argc, argv);
  app.LoadFrenchTranslations();

  vistrel::TForm1 form1;
  vistrel::TForm3 form3;  // the instructions window exists hidden
  vistrel::THelpViewer help;
  form1.on_show_help = [&help](const QString& file) { help.ShowContents(file); };

  form1.showMaximized();
  return app.exec();
}
