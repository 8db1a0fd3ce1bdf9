#include "sim/PortRegistry.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace va5::sim {
namespace {

bool MakeDirectory(const std::string& path) {
  if (mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  return false;
}

bool MakeDirectories(const std::string& path) {
  for (std::size_t pos = path.find('/', 1); pos != std::string::npos;
       pos = path.find('/', pos + 1)) {
    const std::string part = path.substr(0, pos);
    struct stat st {};
    if (stat(part.c_str(), &st) != 0 && !MakeDirectory(part)) return false;
  }
  return MakeDirectory(path);
}

std::string LinkTarget(const std::string& path) {
  char buffer[4096];
  const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
  if (n < 0) return {};
  return std::string(buffer, static_cast<std::size_t>(n));
}

bool TargetExists(const std::string& link) {
  struct stat st {};
  return stat(link.c_str(), &st) == 0;  // follows the link
}

// Replaces a link whose target has gone; false when the name is held by a live entry.
bool ClearStale(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return true;
  if (!S_ISLNK(st.st_mode) || TargetExists(path)) return false;
  return unlink(path.c_str()) == 0 || errno == ENOENT;
}

// Orders names by their text, numbers inside compared by value.
bool NaturalLess(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::isdigit(static_cast<unsigned char>(a[i])) &&
        std::isdigit(static_cast<unsigned char>(b[j]))) {
      std::size_t ei = i, ej = j;
      while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
      while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
      const std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
      const std::size_t za = na.find_first_not_of('0'), zb = nb.find_first_not_of('0');
      const std::string ta = za == std::string::npos ? "" : na.substr(za);
      const std::string tb = zb == std::string::npos ? "" : nb.substr(zb);
      if (ta.size() != tb.size()) return ta.size() < tb.size();
      if (ta != tb) return ta < tb;
      i = ei;
      j = ej;
      continue;
    }
    if (a[i] != b[j]) return a[i] < b[j];
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

}  // namespace

std::string PortRegistryDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/va5vivi/ports";
  return "/tmp/va5vivi-" + std::to_string(getuid()) + "/ports";
}

bool IsValidPortName(const std::string& name) {
  if (name.empty() || name.size() > 64 || name[0] == '.') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
  });
}

std::vector<std::pair<std::string, std::string>> ListRegisteredPorts() {
  std::vector<std::pair<std::string, std::string>> ports;
  const std::string dir = PortRegistryDirectory();
  DIR* d = opendir(dir.c_str());
  if (!d) return ports;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (!IsValidPortName(name)) continue;
    const std::string path = dir + "/" + name;
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || !TargetExists(path)) continue;
    ports.emplace_back(name, LinkTarget(path));
  }
  closedir(d);
  std::sort(ports.begin(), ports.end(),
            [](const auto& a, const auto& b) { return NaturalLess(a.first, b.first); });
  return ports;
}

std::string RegisterPort(const std::string& target, const std::string& name) {
  const std::string dir = PortRegistryDirectory();
  if (!MakeDirectories(dir)) return {};
  auto tryName = [&](const std::string& n) {
    const std::string path = dir + "/" + n;
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (symlink(target.c_str(), path.c_str()) == 0) return true;
      if (errno != EEXIST || !ClearStale(path)) return false;
    }
    return false;
  };
  if (!name.empty()) {
    if (!IsValidPortName(name)) {
      errno = EINVAL;
      return {};
    }
    return tryName(name) ? name : std::string();
  }
  for (int n = 1; n < 1000; ++n) {
    const std::string candidate = "SIM" + std::to_string(n);
    if (tryName(candidate)) return candidate;
    if (errno != EEXIST) return {};
  }
  errno = EEXIST;
  return {};
}

bool UnregisterPort(const std::string& name, const std::string& target) {
  if (!IsValidPortName(name)) return false;
  const std::string path = PortRegistryDirectory() + "/" + name;
  if (LinkTarget(path) != target) return false;
  return unlink(path.c_str()) == 0;
}

}  // namespace va5::sim
