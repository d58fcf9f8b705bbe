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
  // A folder where a file is read; beyond the runtime's own numbers, like kDeviceError.
  static constexpr int kIsFolder = 1021;

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

// Input beyond what a reader takes (a line, a file, a run of blanks): reading stops there, before
// memory or time run out on an endless input such as /dev/zero. The message names the limit.
class EReadLimit : public Exception {
 public:
  using Exception::Exception;
};

// The folder part of a path, "." for a bare name.
std::string ParentDirectory(std::string_view path);

}  // namespace vistrel
