// Every write of a project file under injected faults: the target replaced by a directory, a
// missing directory, a read-only filesystem, a full filesystem (file-size limit, a small tmpfs
// filled up, /dev/full) and no file descriptor left. Each write must fail with the message of
// its cause and leave the previous file byte for byte as it was, with no temporary file beside
// it; a failed append must leave the earlier records readable and appendable.
//
// chmod does not stop root, so the read-only and full-filesystem cases use mounts when running
// as root (skipped where mounting is not allowed) and resource limits, which bind root too.

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "project/geom_file.h"
#include "project/io_error.h"
#include "project/reference_file.h"
#include "project/settings.h"
#include "test_files.h"

namespace vistrel {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// ---- The writes ---------------------------------------------------------------------------

PointTable SampleTable() {
  PointTable table;
  for (int i = 1; i <= PointTable::kFixedControls; ++i) {
    table.SetLeft(i, 100 * i, -7 * i);
    table.SetRight(i, 90 * i, 3 * i);
    table.SetSpace(i, 0.125 * i, 1.5e20 * i, -5e-5 * i);
  }
  return table;
}

// An old geometry file of point records that ends 10 bytes before a 4 KiB page boundary, so
// that on a full tmpfs an appended record fits in part and a partial write happens.
std::string OldGeometry() {
  const std::string record = "p  1   2   3   \r\n";
  std::string text = "l 0  0  0  1  1  1  \r\n";
  while (text.size() + 2 * record.size() <= 4086) text += record;
  const std::size_t blanks = 4086 - text.size() - record.size();
  text += "p  4   5   6" + std::string(3 + blanks, ' ') + "\r\n";
  return text;
}

struct Writer {
  const char* name;
  std::string old_contents;
  bool appends;
  std::function<void(const std::string& path)> write;
  // The message the user sees for a failure whose own text is `cause`.
  std::function<std::string(const std::string& path, const std::string& cause)> message;
};

std::string CauseOnly(const std::string&, const std::string& cause) { return cause; }

std::vector<Writer> Writers() {
  PointTable old_table = SampleTable();
  old_table.SetSpace(1, 42, old_table.Space(1).Y, old_table.Space(1).Z);
  std::string old_reference;
  {
    TempDir dir;
    SaveControlPoints(dir.File("r.txt"), old_table);
    old_reference = ReadBytes(dir.File("r.txt"));
  }
  Settings settings;
  settings.left_image = "/photos/a long name/left.jpg";
  settings.colors.fill(0x0080FF00);
  const std::string old_config =
      "; kept\r\n[IMAGES]\r\nLEFT=old.jpg\r\n[CAD]\r\nSCALE=2\r\nBALL=0.5\r\n";
  // More than a 4 KiB page, so that on a full filesystem even a write in place needs space.
  const std::vector<RewritePoint> points(200, RewritePoint{1.25L, -2.5L, 3.75e-9L, true});
  const std::vector<RewriteLine> lines(10, RewriteLine{1, 2, 3, 4, 5, 6, true});

  return {
      {"reference.txt save", old_reference, false,
       [](const std::string& path) { SaveControlPoints(path, SampleTable()); }, CauseOnly},
      {"geom.txt append", OldGeometry(), true,
       [](const std::string& path) {
         AppendMeasuredPoint(path, "123.456789012345", "-2", "0.25", '.');
       },
       CauseOnly},
      {"geom.txt rewrite", OldGeometry(), false,
       [points, lines](const std::string& path) { RewriteGeometry(path, points, lines); },
       CauseOnly},
      {"config.ini write", old_config, false,
       [settings](const std::string& path) {
         IniFile ini = IniFile::FromText("[IMAGES]\r\nLEFT=old.jpg\r\n");
         WriteSettings(ini, settings, '.');
         ini.Save(path);
       },
       [](const std::string& path, const std::string&) {
         return "Impossible d'écrire dans " + path;
       }},
  };
}

// The message of an exception, or "" for none.
std::string MessageOf(const std::exception_ptr& failure) {
  if (!failure) return "";
  try {
    std::rethrow_exception(failure);
  } catch (const Exception& e) {
    return e.what();
  }
}

// The message of the write's failure, or "" when it did not fail.
std::string FailureOf(const Writer& writer, const std::string& path) {
  try {
    writer.write(path);
  } catch (const Exception&) {
    return MessageOf(std::current_exception());
  }
  return "";
}

std::vector<std::string> Listing(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
    names.push_back(entry.path().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// After a failed append the file must still read, and take the next record at its end.
void ExpectAppendable(const std::string& path, const std::string& old_contents) {
  const std::size_t old_points = ReadGeometry(path).points.size();
  AppendMeasuredPoint(path, "7", "8", "9", '.');
  EXPECT_EQ(ReadBytes(path), old_contents + "p  7   8   9   \r\n");
  const GeomData data = ReadGeometry(path);
  ASSERT_EQ(data.points.size(), old_points + 1);
  EXPECT_EQ(data.points.back().z, 9.0);
}

// ---- Where the target sits --------------------------------------------------------------------

// Another user, for the cases that need one; they run only as root, which can take that user's
// identity (and must, since root ignores a folder's rights).
constexpr uid_t kOtherUser = 65534;

// How the target file sits in its folder. All but the first would make a replacement by rename
// change what the save was not asked to change (links, owner, mode), or cannot be done by
// rename at all (a folder that takes no new file).
struct Placement {
  const char* name;
  bool in_place;    // the file must stay the same file (same inode)
  bool as_other;    // the write runs as kOtherUser
  bool needs_root;  // to set up other owners or to take kOtherUser's identity
  // Sets up the target (already holding the old contents) in `folder`.
  std::function<void(const std::string& folder, const std::string& path)> prepare;
};

std::string OtherName(const std::string& folder) { return folder + "/same file"; }

// An access control list in the kernel's format: the owner may read and write, kOtherUser read,
// the group read (also the mask), others nothing.
constexpr const char* kAclName = "system.posix_acl_access";
const std::string kAcl = [] {
  const struct {
    std::uint16_t tag, perm;
    std::uint32_t id;
  } entries[] = {
      {0x01, 6, ~0u}, {0x02, 4, kOtherUser}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}};
  std::string bytes = {2, 0, 0, 0};  // version 2, little-endian as every entry
  for (const auto& e : entries) {
    for (int i = 0; i < 2; ++i) bytes += static_cast<char>(e.tag >> (8 * i));
    for (int i = 0; i < 2; ++i) bytes += static_cast<char>(e.perm >> (8 * i));
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(e.id >> (8 * i));
  }
  return bytes;
}();

std::string AclOf(const std::string& path) {
  char buffer[256];
  const ssize_t size = ::getxattr(path.c_str(), kAclName, buffer, sizeof buffer);
  return size > 0 ? std::string(buffer, static_cast<std::size_t>(size)) : "";
}

std::vector<Placement> Placements() {
  const bool root = ::geteuid() == 0;
  return {
      {"alone", false, false, false,
       [](const std::string&, const std::string& path) { ::chmod(path.c_str(), 0640); }},
      {"hard link", true, false, false,
       [](const std::string& folder, const std::string& path) {
         ASSERT_EQ(::link(path.c_str(), OtherName(folder).c_str()), 0);
       }},
      // Where the filesystem keeps no access control lists, the same as "alone".
      {"access control list", false, false, false,
       [](const std::string&, const std::string& path) {
         (void)::setxattr(path.c_str(), kAclName, kAcl.data(), kAcl.size(), 0);
       }},
      // Root may give the new file the old owner, so the rename stays.
      {"other owner, saved by root", false, false, true,
       [](const std::string&, const std::string& path) {
         ASSERT_EQ(::chown(path.c_str(), kOtherUser, kOtherUser), 0);
         ASSERT_EQ(::chmod(path.c_str(), 02664), 0);
       }},
      // A user may write another's file, but not give a new file that owner.
      {"other owner, saved by a user", true, true, true,
       [](const std::string& folder, const std::string& path) {
         ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
         ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
       }},
      // A writable file in a folder that takes no new file.
      {"read-only folder", true, root, false,
       [root](const std::string& folder, const std::string& path) {
         if (root) {
           ASSERT_EQ(::chown(path.c_str(), kOtherUser, kOtherUser), 0);
         }
         ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
       }},
  };
}

// Runs `write` as the placement says: here, or in a child process as kOtherUser. With
// `no_descriptor_left` no descriptor may be opened meanwhile. Returns the failure's message or ""
// for none.
std::string RunWrite(const Placement& placement, const std::function<void()>& write,
                     bool no_descriptor_left = false) {
  const auto run = [&] {
    rlimit saved;
    ::getrlimit(RLIMIT_NOFILE, &saved);
    if (no_descriptor_left) {
      // The limit at the lowest free descriptor, so that the next open fails.
      const int lowest_free = ::dup(0);
      ::close(lowest_free);
      rlimit limit = saved;
      limit.rlim_cur = static_cast<rlim_t>(lowest_free);
      ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    // The exception is looked at only once descriptors are back: the sanitizers' type checks
    // need one to probe memory.
    std::exception_ptr failure;
    try {
      write();
    } catch (...) {
      failure = std::current_exception();
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);
    return MessageOf(failure);
  };
  if (!placement.as_other) return run();

  int channel[2];
  if (::pipe(channel) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    std::string message = "could not become the other user";
    if (::setgroups(0, nullptr) == 0 && ::setgid(kOtherUser) == 0 && ::setuid(kOtherUser) == 0) {
      message = run();
    }
    (void)!::write(channel[1], message.data(), message.size());
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string message;
  char buffer[512];
  for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) message.append(buffer, n);
  ::close(channel[0]);
  ::waitpid(child, nullptr, 0);
  return message;
}

// A file holding a writer's old contents as `folder`/target, placed as `placement` says. Write
// notes what the placement must not change, which ExpectSameIdentity then checks whether the
// write failed or not.
class PlacedTarget {
 public:
  PlacedTarget(const Placement& placement, const Writer& writer, const std::string& folder)
      : placement_(placement), writer_(writer), folder_(folder), path_(folder + "/target") {
    WriteBytes(path_, writer.old_contents);
    ::chmod(folder.c_str(), 0755);  // kOtherUser must reach the file
    placement.prepare(folder, path_);
  }
  ~PlacedTarget() { ::chmod(folder_.c_str(), 0755); }
  PlacedTarget(const PlacedTarget&) = delete;
  PlacedTarget& operator=(const PlacedTarget&) = delete;

  // The failure's message, or "".
  std::string Write(bool no_descriptor_left = false) {
    ::stat(path_.c_str(), &before_);
    names_before_ = Listing(folder_);
    acl_before_ = AclOf(path_);
    return RunWrite(
        placement_, [this] { writer_.write(path_); }, no_descriptor_left);
  }

  void ExpectSameIdentity() const {
    struct stat after {};
    ::stat(path_.c_str(), &after);
    EXPECT_EQ(Listing(folder_), names_before_) << "file left behind or removed";
    EXPECT_EQ(after.st_uid, before_.st_uid) << "owner changed";
    EXPECT_EQ(after.st_gid, before_.st_gid) << "group changed";
    EXPECT_EQ(after.st_mode, before_.st_mode) << "mode changed";
    EXPECT_EQ(after.st_nlink, before_.st_nlink) << "link broken";
    EXPECT_EQ(AclOf(path_), acl_before_) << "access control list changed";
    if (InPlace()) {
      EXPECT_EQ(after.st_ino, before_.st_ino) << "file replaced";
    }
    if (before_.st_nlink > 1) {
      EXPECT_EQ(ReadBytes(OtherName(folder_)), ReadBytes(path_)) << "the other name differs";
    }
  }

  // Whether the write must keep the file (an access control list is kept only where the
  // filesystem has them).
  bool InPlace() const { return placement_.in_place || !acl_before_.empty(); }
  // The space the file held before the write.
  std::size_t SpaceHeld() const { return static_cast<std::size_t>(before_.st_blocks) * 512; }
  const std::string& path() const { return path_; }

 private:
  const Placement& placement_;
  const Writer& writer_;
  std::string folder_;
  std::string path_;
  struct stat before_ {};
  std::vector<std::string> names_before_;
  std::string acl_before_;
};

// What the write gives on a plain file holding the old contents.
std::string ExpectedAfter(const Writer& writer) {
  TempDir scratch;
  const std::string path = scratch.File("target");
  WriteBytes(path, writer.old_contents);
  writer.write(path);
  return ReadBytes(path);
}

// Runs `check` on a fresh target for every writer in every placement this user can set up.
void ForEachPlacedTarget(const std::function<void(const Writer&, PlacedTarget&)>& check) {
  for (const Placement& placement : Placements()) {
    if (placement.needs_root && ::geteuid() != 0) continue;
    for (const Writer& writer : Writers()) {
      SCOPED_TRACE(std::string(writer.name) + ", " + placement.name);
      TempDir dir;
      PlacedTarget target(placement, writer, dir.path());
      check(writer, target);
    }
  }
}

// ---- Mounts (root only) ---------------------------------------------------------------------

// A tmpfs of 64 KiB mounted on a fresh directory for the scope, or nothing where mounting is not
// allowed (not root, or no CAP_SYS_ADMIN in a container).
class SmallFilesystem {
 public:
  explicit SmallFilesystem(const std::string& directory) : directory_(directory) {
    std::filesystem::create_directory(directory_);
    mounted_ = ::geteuid() == 0 &&
               ::mount("tmpfs", directory_.c_str(), "tmpfs", 0, "size=64k,mode=0755") == 0;
  }
  ~SmallFilesystem() {
    if (mounted_) ::umount2(directory_.c_str(), MNT_DETACH);
  }
  SmallFilesystem(const SmallFilesystem&) = delete;
  SmallFilesystem& operator=(const SmallFilesystem&) = delete;

  bool mounted() const { return mounted_; }
  bool MakeReadOnly() {
    return ::mount(nullptr, directory_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, "size=64k") == 0;
  }
  // Takes every free block with a filler file.
  void FillUp() {
    std::FILE* f = std::fopen((directory_ + "/filler").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::setvbuf(f, nullptr, _IONBF, 0);
    const std::string block(512, 'f');
    while (std::fwrite(block.data(), 1, block.size(), f) == block.size()) {
    }
    std::fclose(f);
  }

 private:
  std::string directory_;
  bool mounted_ = false;
};

// ---- The faults -----------------------------------------------------------------------------

// A chain of links that never ends is not a missing file to create: the save fails with the
// system's loop error and both links stay as they were.
TEST(FaultInjection, LinkLoopAtTheTargetChangesNothing) {
  for (const Writer& writer : Writers()) {
    SCOPED_TRACE(writer.name);
    TempDir dir;
    const std::string path = dir.File("target");
    std::filesystem::create_symlink("other", path);
    std::filesystem::create_symlink("target", dir.File("other"));
    const auto before = Listing(dir.path());
    EXPECT_EQ(FailureOf(writer, path), writer.message(path, "Nom de fichier incorrect"));
    EXPECT_EQ(Listing(dir.path()), before);
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(std::filesystem::read_symlink(path), "other");
  }
}

TEST(FaultInjection, TargetIsADirectory) {
  for (const Writer& writer : Writers()) {
    SCOPED_TRACE(writer.name);
    TempDir dir;
    const std::string path = dir.File("target");
    std::filesystem::create_directory(path);
    WriteBytes(path + "/inside.txt", writer.old_contents);
    const auto before = Listing(dir.path());
    EXPECT_EQ(FailureOf(writer, path), writer.message(path, "Accès au fichier refusé"));
    EXPECT_EQ(Listing(dir.path()), before);
    EXPECT_EQ(ReadBytes(path + "/inside.txt"), writer.old_contents);
  }
}

TEST(FaultInjection, MissingDirectoryCreatesNothing) {
  for (const Writer& writer : Writers()) {
    SCOPED_TRACE(writer.name);
    TempDir dir;
    const std::string path = dir.File("absent/target");
    EXPECT_EQ(FailureOf(writer, path), writer.message(path, "Nom de fichier incorrect"));
    EXPECT_TRUE(dir.Names().empty());
  }
}

// For every placement: the file written in place too must come out whole or not at all.
TEST(FaultInjection, FileSizeLimitIsAFullDisk) {
  ForEachPlacedTarget([](const Writer& writer, PlacedTarget& target) {
    {
      // An append may write a few bytes before the limit; a replacement none of its copy, and
      // a write in place only part of what it changes.
      testing::FileSizeLimit limit(writer.appends ? writer.old_contents.size() + 5 : 64);
      EXPECT_EQ(target.Write(), writer.message(target.path(), "Disque plein"));
    }
    EXPECT_EQ(ReadBytes(target.path()), writer.old_contents);
    target.ExpectSameIdentity();
    if (writer.appends) ExpectAppendable(target.path(), writer.old_contents);
  });
}

// For every placement. A file written in place still succeeds on a full filesystem where its new
// contents fit in the space it holds; otherwise it fails whole, never half written.
TEST(FaultInjection, FullFilesystem) {
  for (const Placement& placement : Placements()) {
    for (const Writer& writer : Writers()) {
      SCOPED_TRACE(std::string(writer.name) + ", " + placement.name);
      TempDir dir;
      SmallFilesystem fs(dir.File("mnt"));
      if (!fs.mounted()) GTEST_SKIP() << "mounting a tmpfs needs root with CAP_SYS_ADMIN";
      ::chmod(dir.path().c_str(), 0755);
      PlacedTarget target(placement, writer, dir.File("mnt"));
      fs.FillUp();
      const std::string failure = target.Write();
      const std::string expected = ExpectedAfter(writer);
      if (target.InPlace() && !writer.appends && expected.size() <= target.SpaceHeld()) {
        EXPECT_EQ(failure, "");
        EXPECT_EQ(ReadBytes(target.path()), expected);
      } else {
        EXPECT_EQ(failure, writer.message(target.path(), "Disque plein"));
        EXPECT_EQ(ReadBytes(target.path()), writer.old_contents);
      }
      target.ExpectSameIdentity();
      if (writer.appends) {
        std::filesystem::remove(dir.File("mnt/filler"));
        ExpectAppendable(target.path(), writer.old_contents);
      }
    }
  }
}

TEST(FaultInjection, ReadOnlyDirectory) {
  for (const Writer& writer : Writers()) {
    SCOPED_TRACE(writer.name);
    TempDir dir;
    SmallFilesystem fs(dir.File("mnt"));
    const std::string path = dir.File("mnt/target");
    WriteBytes(path, writer.old_contents);
    const auto before = Listing(dir.File("mnt"));
    if (fs.mounted()) {
      ASSERT_TRUE(fs.MakeReadOnly());
    } else if (::geteuid() == 0) {
      GTEST_SKIP() << "root ignores directory rights and may not mount here";
    } else {
      ASSERT_EQ(::chmod(dir.File("mnt").c_str(), 0555), 0);
      // The file itself read-only too, since an append needs only the file's rights.
      ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    }
    EXPECT_EQ(FailureOf(writer, path), writer.message(path, "Accès au fichier refusé"));
    EXPECT_EQ(ReadBytes(path), writer.old_contents);
    EXPECT_EQ(Listing(dir.File("mnt")), before) << "temporary file left behind";
    if (!fs.mounted()) ::chmod(dir.File("mnt").c_str(), 0755);
  }
}

// Devices are written in place, never replaced.
TEST(FaultInjection, DevFull) {
  struct stat info;
  if (::stat("/dev/full", &info) != 0 || !S_ISCHR(info.st_mode)) GTEST_SKIP() << "no /dev/full";
  for (const Writer& writer : Writers()) {
    SCOPED_TRACE(writer.name);
    EXPECT_EQ(FailureOf(writer, "/dev/full"), writer.message("/dev/full", "Disque plein"));
    ASSERT_EQ(::stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode)) << "the device node was replaced";
  }
}

TEST(FaultInjection, NoFileDescriptorLeft) {
  ForEachPlacedTarget([](const Writer& writer, PlacedTarget& target) {
    EXPECT_EQ(target.Write(/*no_descriptor_left=*/true),
              writer.message(target.path(), "Trop de fichiers ouverts"));
    EXPECT_EQ(ReadBytes(target.path()), writer.old_contents);
    target.ExpectSameIdentity();
  });
}

// The same writes without a fault succeed, so the failures above come from the faults; in every
// placement they give what they give on a plain file, and change nothing else.
TEST(FaultInjection, WritesSucceedWithoutFault) {
  ForEachPlacedTarget([](const Writer& writer, PlacedTarget& target) {
    EXPECT_EQ(target.Write(), "");
    const std::string now = ReadBytes(target.path());
    EXPECT_NE(now, writer.old_contents);
    EXPECT_EQ(now, ExpectedAfter(writer));
    if (writer.appends) {
      EXPECT_EQ(now.substr(0, writer.old_contents.size()), writer.old_contents);
    }
    target.ExpectSameIdentity();
  });
}

}  // namespace
}  // namespace vistrel
