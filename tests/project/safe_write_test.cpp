#include "project/safe_write.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "test_files.h"

namespace vistrel {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

TEST(EInOutError, MessagesByCode) {
  const struct {
    int code;
    const char* message;
  } cases[] = {
      {2, "Fichier introuvable"},
      {3, "Nom de fichier incorrect"},
      {4, "Trop de fichiers ouverts"},
      {5, "Accès au fichier refusé"},
      {100, "Lecture au-delà de la fin de fichier"},
      {101, "Disque plein"},
      {106, "Saisie numérique incorrecte"},
      {22, "Erreur E/S 22"},
      {1117, "Erreur E/S 1117"},
  };
  for (const auto& c : cases) {
    const EInOutError error(c.code);
    EXPECT_EQ(error.code, c.code);
    EXPECT_STREQ(error.what(), c.message);
  }
}

TEST(EInOutError, CodesByErrno) {
  const struct {
    int error_number;
    int code;
  } cases[] = {
      {ENOENT, 2},   {ENOTDIR, 3}, {ENAMETOOLONG, 3}, {ELOOP, 3},       {EMFILE, 4},  {ENFILE, 4},
      {EACCES, 5},   {EPERM, 5},   {EROFS, 5},        {EISDIR, 5},      {ETXTBSY, 5}, {ENOSPC, 101},
      {EDQUOT, 101}, {EFBIG, 101}, {EIO, 1117},       {EINVAL, EINVAL},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EInOutError::CodeForErrno(c.error_number), c.code) << "errno " << c.error_number;
  }
}

TEST(ReplaceFile, CreatesAndReplacesByteForByte) {
  TempDir dir;
  const std::string path = dir.File("out.txt");
  ReplaceFile(path, std::string("first\r\n\0binary\xff", 15));
  EXPECT_EQ(ReadBytes(path), std::string("first\r\n\0binary\xff", 15));
  ReplaceFile(path, "2nd");  // shorter than before: no old tail may remain
  EXPECT_EQ(ReadBytes(path), "2nd");
  ReplaceFile(path, "");
  EXPECT_EQ(ReadBytes(path), "");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.txt"}) << "temporary file left behind";
}

TEST(ReplaceFile, KeepsPermissionsAndSymbolicLinks) {
  TempDir dir;
  const std::string real = dir.File("real.txt");
  const std::string link = dir.File("link.txt");
  WriteBytes(real, "old");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  std::filesystem::create_symlink("real.txt", link);

  ReplaceFile(link, "new");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadBytes(real), "new");
  struct stat info;
  ASSERT_EQ(::stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// Each failure leaves what was there before exactly as it was and no temporary file beside it.
TEST(ReplaceFile, FailuresLeaveTheOldStateIntact) {
  TempDir dir;
  const std::string old_file = dir.File("old.txt");
  WriteBytes(old_file, "old contents\r\n");
  std::filesystem::create_directory(dir.File("folder"));

  const struct {
    const char* name;
    std::string path;
    int code;
  } cases[] = {
      {"target is a directory", dir.File("folder"), EInOutError::kAccessDenied},
      {"directory missing", dir.File("absent/out.txt"), EInOutError::kInvalidFileName},
      {"path through a file", dir.File("old.txt/out.txt"), EInOutError::kInvalidFileName},
      {"empty name", "", EInOutError::kInvalidFileName},
  };
  for (const auto& c : cases) {
    try {
      ReplaceFile(c.path, "new contents");
      ADD_FAILURE() << c.name << ": no exception";
    } catch (const EInOutError& error) {
      EXPECT_EQ(error.code, c.code) << c.name;
    }
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder")));
  EXPECT_TRUE(std::filesystem::is_empty(dir.File("folder")));
  EXPECT_EQ(ReadBytes(old_file), "old contents\r\n");
  EXPECT_EQ(dir.Names().size(), 2u);
}

TEST(ReplaceFile, ReadOnlyFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  TempDir dir;
  const std::string path = dir.File("old.txt");
  WriteBytes(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  try {
    ReplaceFile(path, "new");
    ADD_FAILURE() << "no exception";
  } catch (const EInOutError& error) {
    EXPECT_STREQ(error.what(), "Accès au fichier refusé");
  }
  EXPECT_EQ(ReadBytes(path), "old");
}

TEST(AppendToFile, CreatesMissingFileAndAppendsAtTheEnd) {
  TempDir dir;
  const std::string path = dir.File("log.txt");
  AppendToFile(path, "");
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(ReadBytes(path), "");
  AppendToFile(path, "a\r\n");
  AppendToFile(path, "b\r\n");
  EXPECT_EQ(ReadBytes(path), "a\r\nb\r\n");
}

}  // namespace
}  // namespace vistrel
