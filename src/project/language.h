#pragma once

// The language the program speaks to the user: French where the system's language is French,
// English otherwise, unless the user chose one. Report lines and file contents never depend on
// it. Plain code: the command-line tool uses it without any toolkit.

#include <optional>
#include <string>
#include <string_view>

namespace vistrel {

enum class Language { kEnglish, kFrench };

// "fr" or "en" (the settings' text), empty for any other text.
std::optional<Language> LanguageFromName(std::string_view name);
const char* LanguageName(Language language);

// The language of a POSIX locale name ("fr_FR.UTF-8", "fr", "C.UTF-8"): French for a name whose
// language part is "fr", English for anything else.
Language LanguageOfLocale(std::string_view locale_name);

// The system's language from the environment, as the C library takes it for messages: LC_ALL,
// else LC_MESSAGES, else LANG, the first that is set and not empty.
Language SystemLanguage();

// A message in `language`. The core writes its conversion, file and picture errors in French
// (the historic texts), the session and the coordinate lists theirs in English; each is said in
// `language`, whatever surrounds it (a file name, a line number). Other texts pass unchanged.
std::string MessageIn(std::string_view message, Language language);

}  // namespace vistrel
