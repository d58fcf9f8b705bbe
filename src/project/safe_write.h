#pragma once

// Crash-safe writing of the files this program saves: a save either leaves the new contents or
// the old file exactly as it was, never a mix or an empty file.

#include <string>
#include <string_view>
#include <vector>

#include "project/io_error.h"

namespace vistrel {

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

// One file a command names, with the part it plays there ("--append-geom", "OUT", "the left
// photograph"), for messages.
struct NamedFile {
  std::string role;
  std::string path;
};

// A command asked to write over one of its own inputs.
class EOutputIsInput : public Exception {
 public:
  using Exception::Exception;
};

// Refuses to let a command write one of the files it reads. The file `output` names is compared
// (device and inode, through every link: a hard or symbolic link, "./x" and "../dir/x" are the
// same file) with each of `inputs`; the first match throws EOutputIsInput naming both roles.
// An output that does not exist yet matches nothing, and neither does an input that cannot be
// looked at or is standard input ("-"): reading and writing report those themselves. Looks only,
// writes nothing; call it before the command writes anything.
void RefuseOutputOverInput(const NamedFile& output, const std::vector<NamedFile>& inputs);

}  // namespace vistrel
