#pragma once
// Builds a test program with the real assembler and linker in a fresh folder, as a debug-mode build
// does: listing, line numbers and a detailed map.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <cctype>
#include <string>
#include <vector>

#include "platform/process.h"

namespace krvs::ide {

class TestBuild {
 public:
  TestBuild() {
    std::string pattern = (std::filesystem::temp_directory_path() / "krvs-dbg-XXXXXX").string();
    m_dir = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TestBuild() {
    std::error_code ec;
    if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ec);
  }
  const std::string& dir() const { return m_dir; }

  // The built .Exe (or .Com for a source with ORG 100h), empty when a tool failed (see `log`).
  std::string program(const std::filesystem::path& source) {
    std::string name = source.stem().string();
    std::filesystem::copy_file(source, m_dir + "/" + source.filename().string());
    std::ifstream in(source);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    bool com = std::regex_search(text, std::regex("org[ \t]+100h"));
    if (!run("TASM.Exe", {"/la/zi/c", source.filename().string()})) return {};
    std::vector<std::string> link = {"/v", "/m", "/l", "/s", name};
    if (com) link.insert(link.begin(), "/t");
    if (!run("TLink.Exe", link)) return {};
    std::string exe = m_dir + "/" + name + (com ? ".COM" : ".EXE");
    return std::filesystem::exists(exe) ? exe : std::string();
  }

  std::string log;

 private:
  bool run(const std::string& tool, const std::vector<std::string>& args) {
    platform::Process p;
    platform::ProcessOptions o;
    o.program = std::string(KRVS_TOOLS_DIR) + "/" + tool;
    o.arguments = args;
    o.workingDirectory = m_dir;
    if (!p.start(o).empty()) return false;
    p.closeInput();
    while (auto chunk = p.read()) log += *chunk;
    return p.wait() == 0;
  }

  std::string m_dir;
};

}  // namespace krvs::ide
