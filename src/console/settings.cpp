#include "settings.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/files.h"

namespace krvs::console {

namespace {

namespace fs = std::filesystem;

std::string trim(const std::string& s) {
    auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool parseInt(const std::string& text, long long lo, long long hi, long long& out) {
    if (text.empty()) return false;
    std::size_t used = 0;
    try {
        long long v = std::stoll(text, &used, 10);
        if (used != text.size() || v < lo || v > hi) return false;
        out = v;
        return true;
    } catch (...) {
        return false;
    }
}

bool parseCpu(const std::string& text, x86::CpuModel& out) {
    const std::string t = lower(text);
    if (t == "8086" || t == "8088") out = x86::CpuModel::I8086;
    else if (t == "80186" || t == "186") out = x86::CpuModel::I80186;
    else if (t == "80286" || t == "286") out = x86::CpuModel::I80286;
    else return false;
    return true;
}

// Applies one key; false when the value is not acceptable (the default stays).
bool apply(ConsoleSettings& s, const std::string& key, const std::string& value, bool& known) {
    known = true;
    long long n = 0;
    if (key == "font") { if (value.empty()) return false; s.font = value; return true; }
    if (key == "fontsize") { if (!parseInt(value, 6, 96, n)) return false; s.cellHeight = static_cast<int>(n); return true; }
    if (key == "codepage") { if (!parseInt(value, 0, 65535, n) || (n != 936 && n != 437)) return false; s.codePage = static_cast<int>(n); return true; }
    if (key == "speed") { if (!parseInt(value, 0, 4'000'000'000LL, n)) return false; s.speed = static_cast<std::uint64_t>(n); return true; }
    if (key == "cpu") return parseCpu(value, s.cpu);
    if (key == "refresh") { if (!parseInt(value, 5, 1000, n)) return false; s.refreshMs = static_cast<int>(n); return true; }
    known = false;
    return true;
}

}  // namespace

const char* cpuName(x86::CpuModel model) {
    switch (model) {
    case x86::CpuModel::I8086: return "8086";
    case x86::CpuModel::I80186: return "80186";
    case x86::CpuModel::I80286: return "80286";
    }
    return "80186";
}

std::string defaultSettingsText(SettingsKind kind) {
    ConsoleSettings d;
    std::ostringstream out;
    if (kind == SettingsKind::Console)
        out << "; Rtm.EXe, the console window that runs DOS programs. Delete this file to get the defaults back.\r\n";
    else
        out << "; TD.Exe, the debugger window. Delete this file to get the defaults back.\r\n";
    out << "; Font: the typeface of the text; FontSize: pixels per text row when the window opens.\r\n"
        << "Font = " << d.font << "\r\n"
        << "FontSize = " << d.cellHeight << "\r\n"
        << "; CodePage: 936 shows GBK byte pairs as Chinese characters, 437 shows every byte on its own.\r\n"
        << "CodePage = " << d.codePage << "\r\n"
        << "; Cpu: 8086, 80186 or 80286.\r\n"
        << "Cpu = " << cpuName(d.cpu) << "\r\n";
    if (kind == SettingsKind::Console)
        out << "; Speed: emulated instructions per second; 0 runs as fast as the computer can.\r\n"
            << "Speed = " << d.speed << "\r\n"
            << "; Refresh: milliseconds between redraws of the screen.\r\n"
            << "Refresh = " << d.refreshMs << "\r\n";
    return out.str();
}

std::string writeDefaultSettings(const fs::path& file, SettingsKind kind) {
    std::error_code ec;
    if (fs::exists(file, ec)) return {};
    if (platform::Error e = platform::writeFileAtomic(file.string(), defaultSettingsText(kind)); !e.empty())
        return e;
    return {};
}

SettingsResult loadSettings(const fs::path& file, SettingsKind kind) {
    SettingsResult result;
    std::error_code ec;
    if (!fs::exists(file, ec)) {
        if (std::string e = writeDefaultSettings(file, kind); !e.empty()) result.problems.push_back(e);
        return result;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        result.problems.push_back("cannot read " + file.string() + "; the defaults are used");
        return result;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line) && number < 10000) {
        ++number;
        std::string text = trim(line.substr(0, line.find(';')));
        if (text.empty()) continue;
        auto eq = text.find('=');
        const std::string where = file.filename().string() + " line " + std::to_string(number);
        if (eq == std::string::npos) {
            result.problems.push_back(where + ": no '=' in \"" + text + "\"; ignored");
            continue;
        }
        std::string key = lower(trim(text.substr(0, eq))), value = trim(text.substr(eq + 1));
        bool known = false;
        if (!apply(result.settings, key, value, known))
            result.problems.push_back(where + ": \"" + value + "\" is no valid value for " + key + "; the default is kept");
        else if (!known)
            result.problems.push_back(where + ": unknown key \"" + key + "\"; ignored");
    }
    return result;
}

}  // namespace krvs::console
