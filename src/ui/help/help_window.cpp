#include "ui/help/help_window.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace vistrel {
namespace {

QString Underlined(const QString& heading) {
  return heading + '\n' + QString(heading.size(), '-') + '\n';
}

}  // namespace

THelpViewer::THelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("HelpViewer");
  setWindowTitle(QCoreApplication::translate("vistrel::THelpViewer", "VISTREL help"));
  resize(720, 560);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("HelpBrowser");
  browser_->setOpenExternalLinks(true);
  layout->addWidget(browser_);
}

void THelpViewer::ShowContents(const QString& help_file, const QString& built_in) {
  // A document beside the program wins: whoever put it there meant it to be read.
  QUrl url;
  if (QFileInfo(help_file).isFile()) {
    url = QUrl::fromLocalFile(help_file);
  } else if (!built_in.isEmpty() && QFileInfo::exists(built_in)) {
    url = QUrl("qrc" + built_in);
  }
  if (url.isValid()) {
    url.setFragment("contents");
    browser_->setSource(url);
    browser_->scrollToAnchor("contents");
  } else {
    browser_->setHtml("<h3>" +
                      QCoreApplication::translate("vistrel::THelpViewer", "Help file not found") +
                      "</h3><p>" + help_file.toHtmlEscaped() + "</p>");
  }
  show();
  raise();
  activateWindow();
}

QString InstructionsText() {
  QString text;
  text += Underlined(
      "Logiciel de vectorisation (calcul des coordonnées spatiales à patir de clichés "
      "phtotographiques)");
  text +=
      "Ce programme calcule les coordonnées spatiales de points repérés sur deux prises de vue "
      "différentes d'une même scène.\n"
      "8 points de référence, dont les coordonnées spatiales sont connues avec exactitude, "
      "doivent être visibles sur les deux clichés.\n\n";
  text += Underlined("Manipulation des images :");
  text +=
      "- Charger une image : bouton de chargement sous chaque image (plusieurs formats, dont bmp "
      "et jpeg).\n"
      "- Zoom : molette de la souris ou barre de défilement \"zoom\".\n"
      "- Déplacer l'image : bouton droit de la souris ; centrer l'image : bouton de centrage.\n"
      "- Clic gauche sur un pixel : le pixel est marqué d'une croix et ses coordonnées "
      "s'affichent dans les cases des points de contrôle.\n"
      "- Les coordonnées saisies sont stockées dans le point de référence ou d'observation "
      "courant, choisi dans la liste déroulante \"indice\".\n"
      "- Double-cliquer sur la case de couleur pour changer la couleur d'un point.\n"
      "- Afficher le point courant seulement, ou tous les points (8 points de référence et le "
      "point d'observation).\n"
      "- Les coordonnées image et spatiales des 8 points de référence peuvent être sauvegardées "
      "dans le fichier \"reference.txt\" et rechargées à partir de ce fichier.\n\n";
  text += Underlined("Traitement des données et calcul");
  text +=
      "Une fois tous les points de référence définis (coordonnées image gauche et droite, "
      "coordonnées spatiales), le bouton de calcul affiche dans le mémo les coordonnées des 8 "
      "points de référence et, pour chaque image, les 11 paramètres Li ainsi que les paramètres "
      "xp, yp et K1 d'un modèle DLT à 14 paramètres, déterminés par moindres carrés "
      "(Levenberg-Marquardt) : un système de 32 équations à 24 paramètres.\n"
      "Pour mesurer un point : choisir \"point d'observation\" dans la liste déroulante, "
      "saisir et stocker ses coordonnées dans les deux images, puis appuyer sur le bouton de "
      "mesure ; le résultat s'affiche dans le mémo et dans les cases des coordonnées spatiales.\n"
      "Le bouton de sauvegarde ajoute ces coordonnées au fichier texte \"geom.txt\".\n"
      "Le bouton 3D affiche les points archivés dans \"geom.txt\".\n\n";
  text += "Auteur : l'équipe de développement de VISTREL\n";
  text += "Remerciements : à toutes les personnes qui ont essayé le programme et l'ont amélioré.\n";
  return text;
}

TForm3::TForm3(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("Form3");
  setWindowTitle("Aide");
  setGeometry(225, 118, 696, 480);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setPlainText(InstructionsText());
  layout->addWidget(Memo1);
}

}  // namespace vistrel
