// The user's home directory. The tools are linked statically, and a static program cannot use the
// C library's user database look-up (getpwuid loads shared modules at run time), so when HOME is not
// set the entry of this user is read from /etc/passwd directly.
#include "platform/files.h"

#include <string_view>
#include <unistd.h>

namespace krvs::platform {

namespace {

// The sixth field of the line whose third field is uid, in the passwd file's "name:pw:uid:gid:gecos:dir:shell".
std::string passwdHome(std::string_view text, unsigned uid) {
  const std::string wanted = std::to_string(uid);
  while (!text.empty()) {
    auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    std::string_view fields[6];
    size_t n = 0;
    for (size_t start = 0; n < 6 && start <= line.size(); ++n) {
      auto colon = line.find(':', start);
      fields[n] = line.substr(start, colon == std::string_view::npos ? colon : colon - start);
      start = colon == std::string_view::npos ? line.size() + 1 : colon + 1;
    }
    if (n == 6 && fields[2] == wanted && !fields[5].empty()) return std::string(fields[5]);
  }
  return {};
}

}  // namespace

std::string homeDirectory() {
  std::string home = envVar("HOME");
  if (!home.empty()) return home;
  if (auto passwd = readFile("/etc/passwd")) {
    if (std::string dir = passwdHome(*passwd, ::getuid()); !dir.empty()) return dir;
  }
  return "/tmp";
}

}  // namespace krvs::platform
