// cputest DIR [--model 8086|186|286] [--verbose] [--all-flags]
//
// Runs every *.json.gz vector file in DIR against the CPU interpreter, comparing registers, memory and
// the flags outside each opcode's undefined-flags mask (DIR/metadata.json). Files whose opcode is not
// a documented instruction by its metadata status are skipped. Prints the first failures in detail
// and ends with "N passed, M failed"; the exit status is non-zero when anything failed. --all-flags also
// compares the flags the metadata calls undefined (what the real chip happened to leave there).

#include "gzip_file.h"
#include "vectors.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace krvs::x86;

namespace {

constexpr int kDetailedFailures = 10;

struct Options {
    std::string dir;
    CpuModel model = CpuModel::I8086;
    bool verbose = false;
    bool allFlags = false;
};

bool parseModel(const std::string& s, CpuModel& model) {
    if (s == "8086")
        model = CpuModel::I8086;
    else if (s == "186" || s == "80186")
        model = CpuModel::I80186;
    else if (s == "286" || s == "80286")
        model = CpuModel::I80286;
    else
        return false;
    return true;
}

bool parseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--verbose") {
            o.verbose = true;
        } else if (a == "--all-flags") {
            o.allFlags = true;
        } else if (a == "--model" && i + 1 < argc) {
            if (!parseModel(argv[++i], o.model)) return false;
        } else if (!a.empty() && a[0] != '-' && o.dir.empty()) {
            o.dir = a;
        } else {
            return false;
        }
    }
    return !o.dir.empty();
}

std::string stemOf(const fs::path& p) {
    std::string name = p.filename().string();
    return name.substr(0, name.size() - std::strlen(".json.gz"));
}

std::string bytesText(const std::vector<std::uint8_t>& bytes) {
    std::string s;
    char buf[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        s += buf;
    }
    return s;
}

bool readMetadata(const std::string& dir, vectors::Metadata& meta) {
    std::ifstream in(fs::path(dir) / "metadata.json");
    std::stringstream text;
    text << in.rdbuf();
    std::string error = "cannot open the file";
    if (!in || !meta.parse(text.str(), error)) {
        std::fprintf(stderr, "cputest: cannot read %s/metadata.json: %s\n", dir.c_str(), error.c_str());
        return false;
    }
    return true;
}

bool listVectorFiles(const std::string& dir, std::vector<fs::path>& files) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        std::string name = e.path().filename().string();
        if (name.size() > 8 && name.ends_with(".json.gz")) files.push_back(e.path());
    }
    if (ec) {
        std::fprintf(stderr, "cputest: cannot list %s: %s\n", dir.c_str(), ec.message().c_str());
        return false;
    }
    std::sort(files.begin(), files.end());
    return true;
}

struct Totals {
    long passed = 0;
    long failed = 0;
    int detailed = 0;
};

void runFile(const Options& opt, const fs::path& file, const vectors::Metadata& meta, std::uint8_t* memory,
             Totals& totals) {
    std::string stem = stemOf(file);
    vectors::OpcodeInfo info = meta.lookup(stem);
    if (info.status != "normal") {
        if (opt.verbose) std::printf("%s: skipped (%s)\n", stem.c_str(), info.status.c_str());
        return;
    }
    std::string error;
    auto text = vectors::readGzipFile(file.string());
    auto tests = text ? vectors::parseVectors(*text, error) : std::nullopt;
    if (!tests) {
        std::printf("%s: cannot read: %s\n", stem.c_str(), text ? error.c_str() : "not a gzip file");
        ++totals.failed;
        return;
    }
    std::uint16_t mask = opt.allFlags ? std::uint16_t{0xFFFF} : info.flagsMask;
    long filePassed = 0, fileFailed = 0;
    for (const vectors::Vector& v : *tests) {
        vectors::Outcome o = vectors::runVector(v, mask, opt.model, memory);
        if (o.passed) {
            ++filePassed;
            continue;
        }
        ++fileFailed;
        if (totals.detailed < kDetailedFailures || opt.verbose) {
            ++totals.detailed;
            std::printf("FAIL %s #%d %s  [%s]\n%s", stem.c_str(), v.number, v.name.c_str(), bytesText(v.bytes).c_str(),
                        o.detail.c_str());
        }
    }
    if (opt.verbose || fileFailed > 0)
        std::printf("%s: %ld passed, %ld failed\n", stem.c_str(), filePassed, fileFailed);
    totals.passed += filePassed;
    totals.failed += fileFailed;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!parseArgs(argc, argv, opt)) {
        std::fprintf(stderr, "usage: cputest DIR [--model 8086|186|286] [--verbose] [--all-flags]\n");
        return 2;
    }
    vectors::Metadata meta;
    std::vector<fs::path> files;
    if (!readMetadata(opt.dir, meta) || !listVectorFiles(opt.dir, files)) return 2;
    std::vector<std::uint8_t> memory(kMemorySize + kMemoryGuard);
    Totals totals;
    for (const fs::path& file : files) runFile(opt, file, meta, memory.data(), totals);
    std::printf("%ld passed, %ld failed\n", totals.passed, totals.failed);
    return totals.failed > 0 ? 1 : 0;
}
