#include "project/io_error.h"

#include <sys/stat.h>

#include <cerrno>

namespace vistrel {

namespace {

bool IsDirectory(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string ParentDirectory(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

EInOutError::EInOutError(int code) : Exception(MessageFor(code)), code(code) {}

std::string EInOutError::MessageFor(int code) {
  switch (code) {
    case kFileNotFound:
      return "Fichier introuvable";
    case kInvalidFileName:
      return "Nom de fichier incorrect";
    case kTooManyOpenFiles:
      return "Trop de fichiers ouverts";
    case kAccessDenied:
      return "Accès au fichier refusé";
    case kEndOfFile:
      return "Lecture au-delà de la fin de fichier";
    case kDiskFull:
      return "Disque plein";
    case kInvalidNumericInput:
      return "Saisie numérique incorrecte";
    case kIsFolder:
      return "Ceci est un dossier, pas un fichier";
    default:
      return FormatMessage("Erreur E/S %d", code);
  }
}

int EInOutError::CodeForErrno(int error_number) {
  switch (error_number) {
    case ENOENT:
      return kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return kInvalidFileName;
    case EMFILE:
    case ENFILE:
      return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
    case EBUSY:
      return kAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kDiskFull;
    case EIO:
      return kDeviceError;
    default:
      return error_number;
  }
}

EInOutError EInOutError::FromErrno(int error_number, std::string_view path) {
  if (error_number == ENOENT && !IsDirectory(ParentDirectory(path))) {
    return EInOutError(kInvalidFileName);
  }
  return EInOutError(CodeForErrno(error_number));
}

}  // namespace vistrel
