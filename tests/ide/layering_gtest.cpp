// The IDE's folders depend downwards only, and the build driver and the debugger hold no widgets:
// every include line of src/ide is read and checked, so a new upward reach fails here at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;

const fs::path kIdeSources = fs::path(KRVS_TEST_DATA) / ".." / ".." / "src" / "ide";

// Lowest first: a folder may include its own headers and those of the folders before it.
const std::map<std::string, int> kFolderRank = {{"prompt", 0}, {"settings", 1}, {"build", 2}, {"debugger", 3},
                                               {"editor", 4},  {"forms", 5},    {"app", 6}};

struct Include {
  fs::path file;
  std::string target;
  bool system;
};

std::vector<Include> includesOf(const std::string& folder) {
  static const std::regex line(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
  std::vector<Include> result;
  for (const auto& entry : fs::directory_iterator(kIdeSources / folder)) {
    std::ifstream in(entry.path());
    std::string text;
    std::smatch m;
    while (std::getline(in, text)) {
      if (std::regex_search(text, m, line)) result.push_back({entry.path(), m[2].str(), m[1].str() == "<"});
    }
  }
  return result;
}

TEST(IdeLayering, NoFolderIncludesAFolderAboveIt) {
  for (const auto& [folder, rank] : kFolderRank) {
    const std::vector<Include> includes = includesOf(folder);
    EXPECT_FALSE(includes.empty()) << folder;
    for (const Include& inc : includes) {
      if (inc.system) continue;
      const auto slash = inc.target.find('/');
      const auto other = kFolderRank.find(inc.target.substr(0, slash));
      if (slash == std::string::npos || other == kFolderRank.end()) continue;  // another library
      EXPECT_LE(other->second, rank) << inc.file.filename() << " includes " << inc.target;
    }
  }
}

// The build driver and the debugger run on worker threads and are tested without a screen: their Qt
// headers come from QtCore alone.
TEST(IdeLayering, BuildAndDebuggerUseNoWidgets) {
  const fs::path qtCore = KRVS_QTCORE_INCLUDE;
  ASSERT_TRUE(fs::exists(qtCore / "QString")) << qtCore;
  for (const char* folder : {"build", "debugger"}) {
    for (const Include& inc : includesOf(folder)) {
      if (!inc.system || inc.target.empty() || inc.target[0] != 'Q') continue;
      EXPECT_TRUE(fs::exists(qtCore / inc.target)) << inc.file.filename() << " includes <" << inc.target << ">";
    }
  }
}

}  // namespace
