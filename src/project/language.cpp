#include "project/language.h"

#include <cstdlib>
#include <utility>

namespace vistrel {
namespace {

// French core texts and their English, longest first where one contains another.
constexpr std::pair<std::string_view, std::string_view> kCoreTexts[] = {
    {"' n'est pas une valeur entière correcte", "' is not a valid integer value"},
    {"' n'est pas une valeur en virgule flottante correcte",
     "' is not a valid floating point value"},
    {"Fichier introuvable", "File not found"},
    {"Nom de fichier incorrect", "Invalid file name"},
    {"Trop de fichiers ouverts", "Too many open files"},
    {"Accès au fichier refusé", "File access denied"},
    {"Ceci est un dossier, pas un fichier", "This is a folder, not a file"},
    {"Lecture au-delà de la fin de fichier", "Read beyond end of file"},
    {"Disque plein", "Disk full"},
    {"Saisie numérique incorrecte", "Invalid numeric input"},
    {"Erreur E/S ", "I/O error "},
    {"Impossible d'écrire dans ", "Cannot write to "},
    {"Erreur JPEG #", "JPEG error #"},
    {"Image bitmap incorrecte", "Invalid bitmap image"},
    {"Image PNG incorrecte", "Invalid PNG image"},
    {"Image TIFF incorrecte", "Invalid TIFF image"},
    {"Icône incorrecte", "Invalid icon"},
    {"Extension de fichier image inconnue", "Unknown picture file extension"},
    {"Format TIFF non pris en charge (greffon d'images TIFF de Qt absent)",
     "TIFF format not supported (Qt's TIFF picture plugin is missing)"},
    {"Image incomplète (", "Incomplete picture ("},
    {" pixels déclarés pour ", " pixels declared for "},
    {" octets)", " bytes)"},
    {"Mémoire insuffisante pour l'image", "Not enough memory for the picture"},
    {"Image bitmap incomplète", "Incomplete bitmap image"},
    {"Division de flottant par zéro", "Floating point division by zero"},
    {"Opération en virgule flottante incorrecte", "Invalid floating point operation"},
    {"Débordement de virgule flottante", "Floating point overflow"},
    {"Erreur inconnue", "Unknown error"},
};

// The session's and the coordinate lists' English texts and their French, applied in this order
// (whole phrases first, so that their words are not taken one by one).
constexpr std::pair<std::string_view, std::string_view> kSessionTexts[] = {
    {"Missing before calibrating: ", "Il manque avant de calibrer : "},
    {"Missing before measuring: ", "Il manque avant de mesurer : "},
    {"a calibration (\"Compute Ext./Int. parameters\")",
     "une calibration (« Calculer les paramètres ext./int. »)"},
    {"control point ", "point de contrôle "},
    {"object point (", "point objet ("},
    {"(left, right", "(gauche, droite"},
    {"(left", "(gauche"},
    {"(right", "(droite"},
    {", right, X Y Z)", ", droite, X Y Z)"},
    {", right)", ", droite)"},
    {"Stored the shown left ", "Pixels affichés enregistrés avant la mesure : gauche "},
    {"Stored the shown right ", "Pixels affichés enregistrés avant la mesure : droite "},
    {" and right ", " et droite "},
    {" before measuring", ""},
    {": line ", " : ligne "},
    {"' is not a number (empty field)", "' n'est pas un nombre (champ vide)"},
    {"' is not a number", "' n'est pas un nombre"},
    {"decimal comma in a comma-separated list (",
     "virgule décimale dans une liste séparée par des virgules ("},
    {"a name and two numbers, ", "un nom et deux nombres, "},
    {" fields, expected \"name X Y Z\" or \"X Y Z\"",
     " champs, attendu « nom X Y Z » ou « X Y Z »"},
    {" field, expected \"name X Y Z\" or \"X Y Z\"", " champ, attendu « nom X Y Z » ou « X Y Z »"},
    {"expected \"name X Y Z\" or \"X Y Z\"", "attendu « nom X Y Z » ou « X Y Z »"},
    {" rows read, at most ", " lignes lues, au plus "},
    {" control points", " points de contrôle"},
    {"no coordinates found", "aucune coordonnée trouvée"},
};

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

}  // namespace

std::optional<Language> LanguageFromName(std::string_view name) {
  if (name == "fr") return Language::kFrench;
  if (name == "en") return Language::kEnglish;
  return std::nullopt;
}

const char* LanguageName(Language language) { return language == Language::kFrench ? "fr" : "en"; }

Language LanguageOfLocale(std::string_view locale_name) {
  const std::string_view language = locale_name.substr(0, locale_name.find_first_of("_.@"));
  return language == "fr" ? Language::kFrench : Language::kEnglish;
}

Language SystemLanguage() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return LanguageOfLocale(value);
  }
  return Language::kEnglish;
}

std::string MessageIn(std::string_view message, Language language) {
  std::string text(message);
  if (language == Language::kFrench) {
    for (const auto& [english, french] : kSessionTexts) ReplaceAll(text, english, french);
  } else {
    for (const auto& [french, english] : kCoreTexts) ReplaceAll(text, french, english);
  }
  return text;
}

}  // namespace vistrel
