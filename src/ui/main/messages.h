#pragma once

// The program's message boxes: the error box every escaping failure ends in, plain information
// boxes and the yes/no confirmation. Tests replace the boxes with a recorder.

#include <QString>
#include <functional>

#include "project/language.h"

class QWidget;

namespace vistrel {

inline constexpr const char* kProgramTitle = "VISTREL";

// The language of the window, chosen once at start before any window exists (English until then).
void SetUiLanguage(Language language);
Language UiLanguage();
// A core message (conversion, file and picture errors) in the window's language.
QString MessageIn(const QString& message);

// The message as the error box shows it, in the window's language: with "." appended when its last
// character sorts after
// "." ("Fichier introuvable" gains one; "Erreur JPEG #53" too; a text ending in ")" or "." not).
QString ErrorBoxText(const QString& message);

enum class MessageKind { kError, kInformation, kWarning, kConfirmation, kSaveChanges };

// Error icon, one OK button, the program's title as caption.
void ShowErrorBox(const QString& message);
// Information icon, one OK button, the program's title as caption.
void ShowMessageBox(const QString& message);
// Warning icon, one OK button, the program's title as caption.
void ShowWarningBox(const QString& message);
// "Confirmation" caption with the buttons "&Yes" and "&No" ("&Oui" and "&Non" in French); true
// for yes.
bool ConfirmBox(QWidget* parent, const QString& message);

// What to do with unsaved changes: the box's "Save", "Discard" and "Cancel".
enum class SaveAnswer { kCancel = 0, kSave = 1, kDiscard = 2 };
SaveAnswer SaveChangesBox(QWidget* parent, const QString& message);

// While set, boxes are not shown: the recorder gets the kind and the text as it would appear
// (for a confirmation it returns the answer through its result: nonzero for yes; for unsaved
// changes a SaveAnswer's value).
using MessageRecorder = std::function<int(MessageKind kind, const QString& text)>;
void SetMessageRecorder(MessageRecorder recorder);

}  // namespace vistrel
