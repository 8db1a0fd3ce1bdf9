// Replacing a file safely: what is written goes to a new temporary file beside the target,
// which takes the target's place in one rename once all of it is on the disk. Every name taken
// and given is UTF-8 text (see Utf8Path).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace va5 {

// Why `path` cannot be replaced or created, in English and naming `path`; nothing when it can
// as far as can be told without writing (the folder exists, the file, if there is one, is a
// regular file and not read-only). A symbolic link counts as the file it points to. Meant
// for before any work whose result would go to `path` (a device read), so that an unusable
// name is reported before anything is done.
std::optional<std::string> CheckReplaceable(const std::string& path);

// One replacement of a file. The constructor checks the target (CheckReplaceable) and creates
// the temporary file exclusively, never through a link; Write appends; Commit flushes it to
// the disk, gives it the old file's mode (and, where the process may, its owner) and renames
// it over the target. A symbolic link stays a link: the file it points to is replaced. Without
// Commit, or after any failure, the temporary file is removed and the target is untouched.
class AtomicFile {
 public:
  explicit AtomicFile(std::string path);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // The temporary file is there and nothing has failed yet; Error() says why not.
  bool IsOpen() const { return handle_ >= 0 && error_.empty(); }
  const std::string& Error() const { return error_; }

  // Appends `bytes`; false (with Error) once anything has failed.
  bool Write(std::string_view bytes);

  // Puts the file in place. The reason when that failed (the target is then left as it was).
  std::optional<std::string> Commit();

  // Writing fails after this many bytes, as on a full disk (for tests).
  void FailWritesAfter(std::optional<std::size_t> bytes) { failAfter_ = bytes; }

 private:
  void Fail(std::string reason);
  void Discard();

  std::string path_;                 // as given: what every message names
  std::filesystem::path target_;     // the regular file that is replaced (a link's target)
  std::filesystem::path temporary_;  // beside `target_`
  int handle_ = -1;
  bool existed_ = false;
  unsigned mode_ = 0;  // the old file's permission bits
  long long owner_ = -1;
  long long group_ = -1;
  std::size_t written_ = 0;
  std::optional<std::size_t> failAfter_;
  std::string error_;
};

// Whether two names reach one file: the same file where it exists, otherwise the same name
// once links, "." and ".." are resolved.
bool NamesSameFile(const std::string& a, const std::string& b);

// Replaces (or creates) `path` with `content` through an AtomicFile; the reason on failure.
std::optional<std::string> WriteFileAtomically(const std::string& path, std::string_view content,
                                               std::optional<std::size_t> failAfter = {});

}  // namespace va5
