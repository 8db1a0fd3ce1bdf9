#include "sim/PortRegistry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

namespace va5::sim {
namespace {

// Every entry this process registered, by name: its target and its lock.
struct Claim {
  std::string target;
  int lock;
};
std::mutex gMutex;
std::map<std::string, Claim> gClaims;

std::string LinkTarget(const std::string& path) {
  char buffer[4096];
  const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return {};
  return std::string(buffer, static_cast<std::size_t>(n));
}

// Puts the link for `name` in place once the name is claimed; whatever link a dead simulator
// left there goes. False (errno set) when something other than a link sits there.
bool PlaceLink(const std::string& path, const std::string& target) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (symlink(target.c_str(), path.c_str()) == 0) return true;
    if (errno != EEXIST) return false;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) return false;
    if (unlink(path.c_str()) != 0 && errno != ENOENT) return false;
  }
  errno = EEXIST;
  return false;
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

std::vector<std::pair<std::string, std::string>> ListRegisteredPorts() {
  std::vector<std::pair<std::string, std::string>> ports;
  for (auto& entry : LiveRegistryEntries()) {
    ports.emplace_back(std::move(entry.name), std::move(entry.target));
  }
  std::sort(ports.begin(), ports.end(),
            [](const auto& a, const auto& b) { return NaturalLess(a.first, b.first); });
  return ports;
}

std::string RegisterPort(const std::string& target, const std::string& name,
                         std::string* problem) {
  auto fail = [problem](const std::string& why) {
    const int error = errno;
    if (problem != nullptr) *problem = why;
    errno = error;
    return std::string();
  };
  if (!name.empty() && !IsValidRegistryName(name)) {
    errno = EINVAL;
    return fail("'" + name + "' is not a valid port name");
  }
  if (const std::string why = MakeRegistryFolder(); !why.empty()) {
    errno = EACCES;
    return fail(why);
  }
  const std::string folder = SimulatorRegistryFolder();
  std::lock_guard lock(gMutex);
  auto tryName = [&](const std::string& n) {
    if (gClaims.count(n) != 0) {
      errno = EEXIST;
      return false;
    }
    const int claim = ClaimRegistryName(n);
    if (claim < 0) return false;
    if (!PlaceLink(folder + "/" + n, target)) {
      const int error = errno;
      ReleaseRegistryName(n, claim);
      errno = error;
      return false;
    }
    gClaims[n] = Claim{target, claim};
    return true;
  };
  if (!name.empty()) {
    if (tryName(name)) return name;
    const int error = errno;
    return fail(error == EEXIST ? "port " + name + " is registered by a running simulator"
                                : "cannot register port " + name + " in " + folder + ": " +
                                      std::strerror(error));
  }
  for (int n = 1; n < 1000; ++n) {
    const std::string candidate = "SIM" + std::to_string(n);
    if (tryName(candidate)) return candidate;
    if (errno != EEXIST) {
      return fail("cannot register port " + candidate + " in " + folder + ": " +
                  std::strerror(errno));
    }
  }
  errno = EEXIST;
  return fail("every name from SIM1 to SIM999 is taken");
}

bool UnregisterPort(const std::string& name, const std::string& target) {
  std::lock_guard lock(gMutex);
  const auto claim = gClaims.find(name);
  if (claim == gClaims.end() || claim->second.target != target) return false;
  const std::string path = SimulatorRegistryFolder() + "/" + name;
  if (LinkTarget(path) == target) unlink(path.c_str());
  ReleaseRegistryName(name, claim->second.lock);
  gClaims.erase(claim);
  return true;
}

}  // namespace va5::sim
