#include "comm/SimulatorRegistry.h"

#include <algorithm>
#include <cctype>

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#endif

namespace va5 {

bool IsValidRegistryName(const std::string& name) {
  if (name.empty() || name.size() > 64 || name[0] == '.') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
  });
}

#ifdef _WIN32

std::string SimulatorRegistryFolder() { return {}; }
std::string RegistryFolderProblem() { return {}; }
std::string MakeRegistryFolder() { return "simulated ports exist on POSIX systems only"; }
std::vector<RegistryEntry> LiveRegistryEntries() { return {}; }
std::string LiveRegistryTarget(const std::string&) { return {}; }
int ClaimRegistryName(const std::string&) { return -1; }
void ReleaseRegistryName(const std::string&, int) {}
std::string ResolvePortName(const std::string& portName) { return portName; }

#else

namespace {

// The registry folder and the folder above it, which this user owns as well.
std::string ParentOf(const std::string& path) { return path.substr(0, path.rfind('/')); }

std::string LockPath(const std::string& folder, const std::string& name) {
  return folder + "/." + name + ".lock";
}

// "" when `path` is missing or is a folder of ours that no one else may change.
std::string OwnFolderProblem(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return {};
    return path + ": " + std::strerror(errno);
  }
  if (S_ISLNK(st.st_mode)) return path + " is a symbolic link, not a folder";
  if (!S_ISDIR(st.st_mode)) return path + " is not a folder";
  if (st.st_uid != ::geteuid()) {
    return path + " belongs to another user (uid " + std::to_string(st.st_uid) + ")";
  }
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return path + " can be changed by other users (mode " + mode + ")";
  }
  return {};
}

bool MakeFolder(const std::string& path, std::string& problem) {
  if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) return true;
  problem = "cannot create " + path + ": " + std::strerror(errno);
  return false;
}

// Whether the simulator that made an entry still runs: it holds a lock on the entry's lock
// file. The check only asks; it takes no lock, so it never gets in a simulator's way.
bool OwnerRuns(const std::string& lockPath) {
  const int fd = ::open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct flock query {};
  query.l_type = F_RDLCK;
  query.l_whence = SEEK_SET;
#ifdef F_OFD_GETLK
  const int rc = ::fcntl(fd, F_OFD_GETLK, &query);
#else
  const int rc = ::fcntl(fd, F_GETLK, &query);
#endif
  ::close(fd);
  return rc == 0 && query.l_type != F_UNLCK;
}

// Locks the whole file for writing without waiting. Open-file-description locks where the
// system has them: they belong to this descriptor, so a second claim within the same process
// is refused as well.
bool LockFile(int fd) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
#ifdef F_OFD_SETLK
  return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
#else
  return ::fcntl(fd, F_SETLK, &lock) == 0;
#endif
}

bool SameFile(int fd, const std::string& path) {
  struct stat open {};
  struct stat named {};
  return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

std::string LinkTarget(const std::string& path) {
  char buffer[4096];
  const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return {};
  return std::string(buffer, static_cast<std::size_t>(n));
}

// The target of the live entry `name` in the (trusted) `folder`, or "".
std::string LiveTarget(const std::string& folder, const std::string& name) {
  if (!IsValidRegistryName(name)) return {};
  const std::string path = folder + "/" + name;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {};
  if (!OwnerRuns(LockPath(folder, name))) return {};
  if (::stat(path.c_str(), &st) != 0) return {};  // the terminal has gone
  return LinkTarget(path);
}

}  // namespace

std::string SimulatorRegistryFolder() {
  // A relative path is no runtime directory: it would name another folder in every working
  // directory, so it is ignored, as one that is not set.
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/') {
    return std::string(runtime) + "/va5vivi/ports";
  }
  return "/tmp/va5vivi-" + std::to_string(::getuid()) + "/ports";
}

std::string RegistryFolderProblem() {
  const std::string folder = SimulatorRegistryFolder();
  std::string problem = OwnFolderProblem(ParentOf(folder));
  if (problem.empty()) problem = OwnFolderProblem(folder);
  return problem;
}

std::string MakeRegistryFolder() {
  const std::string folder = SimulatorRegistryFolder();
  // Folders above ours that are missing (a runtime directory not made yet) are made as well.
  std::string problem;
  for (std::size_t pos = folder.find('/', 1); pos != std::string::npos;
       pos = folder.find('/', pos + 1)) {
    const std::string part = folder.substr(0, pos);
    struct stat st {};
    if (::lstat(part.c_str(), &st) != 0 && !MakeFolder(part, problem)) return problem;
  }
  if (!MakeFolder(folder, problem)) return problem;
  problem = RegistryFolderProblem();
  if (!problem.empty()) return problem;
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0) return "cannot create " + folder;
  return {};
}

std::vector<RegistryEntry> LiveRegistryEntries() {
  std::vector<RegistryEntry> entries;
  const std::string folder = SimulatorRegistryFolder();
  if (!RegistryFolderProblem().empty()) return entries;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return entries;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    std::string target = LiveTarget(folder, name);
    if (!target.empty()) entries.push_back(RegistryEntry{name, std::move(target)});
  }
  ::closedir(dir);
  return entries;
}

std::string LiveRegistryTarget(const std::string& name) {
  if (!IsValidRegistryName(name) || !RegistryFolderProblem().empty()) return {};
  return LiveTarget(SimulatorRegistryFolder(), name);
}

int ClaimRegistryName(const std::string& name) {
  if (!IsValidRegistryName(name)) {
    errno = EINVAL;
    return -1;
  }
  const std::string lockPath = LockPath(SimulatorRegistryFolder(), name);
  // A simulator that ends between our open and our lock removes the file we opened; the lock
  // then guards nothing, and the name is tried again with a fresh file.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (!LockFile(fd)) {
      const int error = errno;
      ::close(fd);
      errno = error == EAGAIN || error == EACCES ? EEXIST : error;
      return -1;
    }
    if (SameFile(fd, lockPath)) return fd;
    ::close(fd);
  }
  errno = EAGAIN;
  return -1;
}

void ReleaseRegistryName(const std::string& name, int lockFd) {
  if (lockFd < 0) return;
  const std::string lockPath = LockPath(SimulatorRegistryFolder(), name);
  if (IsValidRegistryName(name) && SameFile(lockFd, lockPath)) ::unlink(lockPath.c_str());
  ::close(lockFd);
}

std::string ResolvePortName(const std::string& portName) {
  if (portName.empty() || portName.find('/') != std::string::npos) return portName;
  if (std::string target = LiveRegistryTarget(portName); !target.empty()) return target;
  return "/dev/" + portName;
}

#endif  // _WIN32

}  // namespace va5
