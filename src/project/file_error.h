#pragma once

#include <string>
#include <string_view>

#include "numeric/exception.h"

namespace vistrel {

// Input/output failure of a project file. `code` is the runtime's I/O error number; the message
// is the French text the user sees for it.
class EInOutError : public Exception {
 public:
  static constexpr int kFileNotFound = 2;           // "Fichier introuvable"
  static constexpr int kInvalidFileName = 3;        // "Nom de fichier incorrect"
  static constexpr int kTooManyOpenFiles = 4;       // "Trop de fichiers ouverts"
  static constexpr int kAccessDenied = 5;           // "Accès au fichier refusé"
  static constexpr int kEndOfFile = 100;            // "Lecture au-delà de la fin de fichier"
  static constexpr int kDiskFull = 101;             // "Disque plein"
  static constexpr int kInvalidNumericInput = 106;  // "Saisie numérique incorrecte"
  // Device I/O error (EIO). Its errno value, 5, would otherwise read as "access denied".
  static constexpr int kDeviceError = 1117;

  explicit EInOutError(int code);

  // The error for a failed system call on `path`. ENOENT whose parent directory is missing too
  // becomes "Nom de fichier incorrect" (the path itself is wrong); errno values without a named
  // message keep their number ("Erreur E/S 22").
  static EInOutError FromErrno(int error_number, std::string_view path);

  // The French text for an I/O error number; "Erreur E/S %d" for those without a name.
  static std::string MessageFor(int code);

  // The I/O error number for an errno value, not looking at any path.
  static int CodeForErrno(int error_number);

  int code;
};

// Replaces the file at `path` with `contents`, byte for byte, changing nothing else about it.
// Normally the text is written to a new file beside the target, flushed to disk and renamed over
// the target, so a failure at any step leaves the old file exactly as it was (the partial copy is
// removed). Where a rename would change what the save was not asked to change, the file is
// rewritten in place instead: it has other hard links or an access control list, its folder
// takes no new file (a folder
// we may not write, holding a file we may), or the new file could not be given the old one's
// owner, group and mode. The in-place write touches only the bytes that change, reserves the
// space it needs first, and puts the old bytes back when a write fails, so a failure leaves the
// old file as it was there too. Extended attributes are copied to the new file, or the file is
// written in place when they cannot be. A symbolic link is followed and its target written, also
// a dangling one, whose target the save creates; an existing
// device or pipe is written in place, since it cannot be replaced. Throws EInOutError by cause
// ("Accès au fichier refusé" when the target is a directory or a file we may not write, or a
// new file's folder is not writable; "Disque plein", ...).
void ReplaceFile(const std::string& path, std::string_view contents);

// Adds `contents` at the end of the file at `path`, creating a missing file (also when
// `contents` is empty). A plain append: what the file held stays in place, and a failed write
// (a full disk) takes back the part it managed to add. Throws EInOutError.
void AppendToFile(const std::string& path, std::string_view contents);

// The same, but `line` starts a line of its own: when the file is not empty and does not end in a
// line feed (a last line without its break), CR LF goes first, in the same write. A file we may
// write but not read is appended to as it stands.
void AppendLineToFile(const std::string& path, std::string_view line);

}  // namespace vistrel
