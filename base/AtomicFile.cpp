#include "base/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>

#include "base/Utf8Path.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace va5 {
namespace {

namespace fs = std::filesystem;

constexpr int MaxLinks = 40;  // as many links as the system itself follows
constexpr int MaxTemporaryAttempts = 100;

std::string SystemText(int error) { return std::generic_category().message(error ? error : EIO); }

// The file that a write to `path` replaces, or why there is none.
struct Target {
  std::string reason;
  fs::path file;
  bool exists = false;
  unsigned mode = 0;
  long long owner = -1;
  long long group = -1;
};

std::string Cannot(const std::string& path, const std::string& why) {
  return "cannot write " + path + ": " + why;
}

// What a path that is no regular file names instead.
std::string KindOf(fs::file_type type) {
  switch (type) {
    case fs::file_type::directory:
      return "it is a folder";
    case fs::file_type::character:
    case fs::file_type::block:
      return "it is a device, not a file";
    case fs::file_type::fifo:
      return "it is a pipe (FIFO), not a file";
    case fs::file_type::socket:
      return "it is a socket, not a file";
    default:
      return "it is not a regular file";
  }
}

// The name a chain of dangling links ends in (the links themselves are left alone).
std::optional<fs::path> FollowDanglingLinks(fs::path p, std::string& why) {
  for (int i = 0; i < MaxLinks; ++i) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) return p;
    const fs::path next = fs::read_symlink(p, ec);
    if (ec) {
      why = ec.message();
      return std::nullopt;
    }
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  why = "too many levels of symbolic links";
  return std::nullopt;
}

bool MayWrite(const fs::path& p, int& error) {
#ifdef _WIN32
  (void)p;
  (void)error;
  return true;
#else
  // The effective user's right, as the write itself would be judged (root may write anything
  // on a writable file system, but not on a read-only one).
  if (::faccessat(AT_FDCWD, p.c_str(), W_OK, AT_EACCESS) == 0) return true;
  error = errno;
  return false;
#endif
}

void TakeOwner(const fs::path& p, Target& t) {
#ifdef _WIN32
  (void)p;
  (void)t;
#else
  struct stat st {};
  if (::stat(p.c_str(), &st) == 0) {
    t.mode = static_cast<unsigned>(st.st_mode & 07777);
    t.owner = static_cast<long long>(st.st_uid);
    t.group = static_cast<long long>(st.st_gid);
  }
#endif
}

// Why the folder of `file` cannot take the temporary file and the rename; empty when it can.
std::string FolderProblem(const std::string& path, const fs::path& file) {
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  const std::string name = Utf8String(folder);
  std::error_code ec;
  const fs::file_status status = fs::status(folder, ec);
  if (status.type() == fs::file_type::not_found) {
    return Cannot(path, "the folder " + name + " does not exist");
  }
  if (ec) return Cannot(path, ec.message());
  if (status.type() != fs::file_type::directory) {
    return Cannot(path, name + " is not a folder");
  }
  if (int error = 0; !MayWrite(folder, error)) {
    return Cannot(path, "the folder " + name + " cannot be written to (" + SystemText(error) + ")");
  }
  return {};
}

// `path` is the name as given (for the messages), `name` the same as a path.
Target ExistingTarget(const std::string& path, const fs::path& name,
                      const fs::file_status& status) {
  Target t;
  if (status.type() != fs::file_type::regular) {
    t.reason = Cannot(path, KindOf(status.type()));
    return t;
  }
  std::error_code ec;
  t.file = fs::canonical(name, ec);  // through every link, to the file itself
  if (ec) {
    t.reason = Cannot(path, ec.message());
    return t;
  }
  t.exists = true;
  t.mode = static_cast<unsigned>(status.permissions() & fs::perms::mask);
  TakeOwner(t.file, t);
  // Renaming over a read-only file would succeed where opening it for writing does not.
  int error = 0;
  if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) {
    t.reason = Cannot(path, "the file is read-only");
  } else if (!MayWrite(t.file, error)) {
    t.reason = Cannot(path, error == EACCES ? "the file is read-only" : SystemText(error));
  } else {
    t.reason = FolderProblem(path, t.file);  // the new file is made beside the old one
  }
  return t;
}

Target NewTarget(const std::string& path, const fs::path& name) {
  Target t;
  std::string why;
  const auto file = FollowDanglingLinks(name, why);
  if (!file) {
    t.reason = Cannot(path, why);
    return t;
  }
  t.file = *file;
  t.reason = FolderProblem(path, t.file);
  return t;
}

Target Resolve(const std::string& path) {
  if (path.empty()) {
    Target t;
    t.reason = "cannot write a file without a name";
    return t;
  }
  const fs::path name = Utf8Path(path);
  std::error_code ec;
  const fs::file_status status = fs::status(name, ec);  // follows links
  if (status.type() == fs::file_type::not_found) return NewTarget(path, name);
  if (ec || status.type() == fs::file_type::none) {
    Target t;
    t.reason = Cannot(path, ec ? ec.message() : "its type cannot be told");
    return t;
  }
  return ExistingTarget(path, name, status);
}

// A name for the temporary file that no other writer picks at the same time.
fs::path TemporaryName(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  std::minstd_rand random(seed ^ (++counter * 2654435761u));
  fs::path name = target;
  name += "." + std::to_string(random() % 1000000) + ".tmp";
  return name;
}

int CreateExclusive(const fs::path& name) {
#ifdef _WIN32
  return ::_wopen(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
#else
  // Never through a link planted under the name, never over a file that is there.
  return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
#endif
}

long WriteSome(int handle, const char* data, std::size_t size) {
#ifdef _WIN32
  const unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
  return ::_write(handle, data, chunk);
#else
  return static_cast<long>(::write(handle, data, size));
#endif
}

int SyncAndClose(int handle) {
  int error = 0;
#ifdef _WIN32
  if (::_commit(handle) != 0) error = errno;
  if (::_close(handle) != 0 && error == 0) error = errno;
#else
  if (::fsync(handle) != 0) error = errno;
  if (::close(handle) != 0 && error == 0) error = errno;
#endif
  return error;
}

#ifndef _WIN32
unsigned NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666u & ~static_cast<unsigned>(mask);
}

// The rename itself reaches the disk with its folder.
void SyncFolder(const fs::path& file) {
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle < 0) return;
  ::fsync(handle);
  ::close(handle);
}
#endif

std::error_code RenameOver(const fs::path& from, const fs::path& to) {
  std::error_code ec;
#ifdef _WIN32
  if (!::MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ec = std::error_code(static_cast<int>(::GetLastError()), std::system_category());
  }
#else
  fs::rename(from, to, ec);
  if (!ec) SyncFolder(to);
#endif
  return ec;
}

}  // namespace

std::optional<std::string> CheckReplaceable(const std::string& path) {
  Target t = Resolve(path);
  if (t.reason.empty()) return std::nullopt;
  return std::move(t.reason);
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
  Target t = Resolve(path_);
  if (!t.reason.empty()) {
    error_ = std::move(t.reason);
    return;
  }
  target_ = t.file;
  existed_ = t.exists;
  mode_ = t.mode;
  owner_ = t.owner;
  group_ = t.group;
  // Beside the file itself, so that the rename stays on one file system.
  int error = 0;
  for (int attempt = 0; attempt < MaxTemporaryAttempts; ++attempt) {
    temporary_ = TemporaryName(t.file);
    errno = 0;
    handle_ = CreateExclusive(temporary_);
    if (handle_ >= 0) return;
    error = errno;
    if (error != EEXIST) break;
  }
  error_ = "cannot create a temporary file for " + path_ + " (" + Utf8String(temporary_) +
           "): " + SystemText(error);
  temporary_.clear();
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
  if (handle_ >= 0) {
#ifdef _WIN32
    ::_close(handle_);
#else
    ::close(handle_);
#endif
    handle_ = -1;
  }
  if (!temporary_.empty()) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
    temporary_.clear();
  }
}

void AtomicFile::Fail(std::string reason) {
  if (error_.empty()) error_ = std::move(reason);
  Discard();
}

bool AtomicFile::Write(std::string_view bytes) {
  if (!IsOpen()) return false;
  while (!bytes.empty()) {
    std::size_t size = bytes.size();
    if (failAfter_) {
      if (written_ >= *failAfter_) {
        Fail("error while writing " + path_ + ": " + SystemText(ENOSPC));
        return false;
      }
      size = std::min(size, *failAfter_ - written_);
    }
    errno = 0;
    const long n = WriteSome(handle_, bytes.data(), size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      Fail("error while writing " + path_ + ": " + SystemText(errno));
      return false;
    }
    written_ += static_cast<std::size_t>(n);
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::optional<std::string> AtomicFile::Commit() {
  if (!IsOpen()) {
    Discard();
    return error_.empty() ? std::string("cannot write " + path_) : error_;
  }
#ifndef _WIN32
  // The new file takes the old one's place in every respect the user set: its permissions
  // and, where the process may give files away (root), its owner.
  const unsigned mode = existed_ ? mode_ : NewFileMode();
  if (::fchmod(handle_, static_cast<mode_t>(mode)) != 0) {
    Fail("cannot write " + path_ + ": " + SystemText(errno));
    return error_;
  }
  if (existed_ && ::geteuid() == 0 && owner_ >= 0) {
    [[maybe_unused]] const int ignored =
        ::fchown(handle_, static_cast<uid_t>(owner_), static_cast<gid_t>(group_));
  }
#endif
  const int handle = std::exchange(handle_, -1);
  if (const int error = SyncAndClose(handle); error != 0) {
    Fail("error while writing " + path_ + ": " + SystemText(error));
    return error_;
  }
  if (const std::error_code ec = RenameOver(temporary_, target_)) {
    Fail("cannot replace " + path_ + ": " + ec.message());
    return error_;
  }
  temporary_.clear();
  return std::nullopt;
}

bool NamesSameFile(const std::string& a, const std::string& b) {
  const fs::path pathA = Utf8Path(a);
  const fs::path pathB = Utf8Path(b);
  std::error_code ec;
  if (fs::equivalent(pathA, pathB, ec)) return true;
  const fs::path first = fs::weakly_canonical(fs::absolute(pathA, ec), ec);
  if (ec) return false;
  const fs::path second = fs::weakly_canonical(fs::absolute(pathB, ec), ec);
  return !ec && first == second;
}

std::optional<std::string> WriteFileAtomically(const std::string& path, std::string_view content,
                                               std::optional<std::size_t> failAfter) {
  AtomicFile file(path);
  file.FailWritesAfter(failAfter);
  if (!file.Write(content)) return file.Error();
  return file.Commit();
}

}  // namespace va5
