// TASM.Exe: reads TASM.CFG from its own directory, then its arguments, assembles one source and
// writes the object and listing beside it, printing the classic banner, diagnostics and summary.

#include <omf/writer.h>
#include <platform/dosnames.h>
#include <platform/files.h>
#include <platform/hostfs.h>
#include <platform/paths.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "options.h"
#include "sources.h"
#include "tasm/assembler.h"

using namespace krvs;

namespace {

void out(const std::string& line) {
    std::string s = line + "\r\n";
    std::fwrite(s.data(), 1, s.size(), stdout);
}

void banner() {
    out("Korvash TASM  Version 1.0  Copyright (c) 2026 Korvash");
    out("");
}

// "/home/u/T," is a file when the directory part exists; "/zi" and "/l/zi" are switches.
bool looksLikePath(const std::string& word) {
    if (word.empty() || word[0] != '/') return false;
    std::string w = word.substr(0, word.find(','));
    size_t slash = w.find_last_of('/');
    if (slash == 0 || slash == std::string::npos) return false;
    return platform::isDirectory(w.substr(0, slash));
}

bool hasExtension(const std::string& path) {
    std::string name = platform::fileNameOf(path);
    return name.find('.') != std::string::npos;
}

std::string withExtension(const std::string& given, const std::string& ext) {
    return hasExtension(given) ? given : given + ext;
}

std::string stripExtension(const std::string& path) {
    std::string name = platform::fileNameOf(path);
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return path;
    return path.substr(0, path.size() - (name.size() - dot));
}

void help() {
    banner();
    out("Syntax:  TASM [options] source [,object] [,listing] [,xref]");
    out("/l,/la        Generate listing: l=normal listing, la=expanded listing");
    out("/ml,/mx,/mu   Case sensitivity on symbols: ml=all, mx=globals, mu=none");
    out("/mN           Allow N multiple passes to resolve forward references");
    out("/n            Suppress symbols in listing");
    out("/q            Suppress OBJ records not needed for linking");
    out("/t            Suppress messages if successful assembly");
    out("/w0,/w1,/w2   Set warning level: w0=none, w1=w2=warnings on");
    out("/iPATH        Search PATH for include files");
    out("/dSYM[=VAL]   Define symbol SYM = 0, or = value VAL");
    out("/z            Display source line with error message");
    out("/zi,/zd,/zn   Debug info: zi=full, zd=line numbers only, zn=none");
}

// The message for the first output name that would write over an input file or another output,
// or "" when every output has a name of its own.
std::string clashingOutput(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs) {
    for (size_t i = 0; i < outputs.size(); ++i) {
        std::string out = platform::resolveNoCase(outputs[i]);
        for (const std::string& in : inputs)
            if (platform::sameFile(out, in)) return "Output file name is the name of an input file: " + outputs[i];
        for (size_t j = 0; j < i; ++j)
            if (platform::sameFile(out, platform::resolveNoCase(outputs[j])))
                return "Object and listing file have the same name: " + outputs[i];
    }
    return {};
}

int outputIsInput(const std::string& message, bool terse) {
    if (terse) banner();
    out("**Fatal** " + message);
    return 2;
}

int fatal(const std::string& msg) {
    banner();
    out("**Fatal** " + msg);
    return 2;
}

// The source read again from the open file in every pass; it is never held whole.
class FileSource : public tasm::SourceReader {
public:
    explicit FileSource(platform::File file) : m_file(std::move(file)) {}
    bool rewind() override { return m_file.seek(0, platform::Whence::Start).has_value(); }
    std::optional<size_t> read(char* buffer, size_t size) override { return m_file.read(buffer, size); }

private:
    platform::File m_file;
};

// The source, read again from the open file in every pass (sources are regular files: the search
// for one takes nothing else). nullptr when it cannot be opened.
std::unique_ptr<FileSource> openSource(const std::string& path, std::uint64_t& size) {
    platform::File file;
    if (platform::File::open(path, platform::OpenRequest{}, file) != platform::FsError::None) return nullptr;
    platform::EntryInfo info = file.info();
    if (info.type != platform::EntryType::Regular) return nullptr;
    size = info.size;
    return std::make_unique<FileSource>(std::move(file));
}

// The object module as the assembler writes it: through a fixed buffer into a temporary file that
// replaces the old object only when the whole module is in it.
class ObjectFile : public omf::RecordSink {
public:
    explicit ObjectFile(const std::string& path) : m_file(path, platform::Durability::Regenerable) {
        m_buffer.reserve(kBuffer);
    }
    bool write(std::span<const std::uint8_t> bytes) override {
        if (m_buffer.size() + bytes.size() > kBuffer) flush();
        if (bytes.size() >= kBuffer) put(bytes);
        else m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
        return m_error.empty();
    }
    platform::Error commit() {
        flush();
        return m_error.empty() ? m_file.commit() : m_error;
    }

private:
    static constexpr size_t kBuffer = 16 * 1024;
    void flush() {
        put(m_buffer);
        m_buffer.clear();
    }
    void put(std::span<const std::uint8_t> bytes) {
        if (m_error.empty() && !bytes.empty())
            m_error = m_file.write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    platform::AtomicFile m_file;
    std::vector<std::uint8_t> m_buffer;
    platform::Error m_error;
};

// The listing as the assembler lays it out, a block at a time, into a temporary file that replaces
// the old listing at the commit.
class ListingFile : public tasm::ListingSink {
public:
    explicit ListingFile(const std::string& path) : m_file(path, platform::Durability::Regenerable) {}
    void write(std::string_view text) override {
        if (m_error.empty()) m_error = m_file.write(text);
    }
    platform::Error commit() { return m_error.empty() ? m_file.commit() : m_error; }

private:
    platform::AtomicFile m_file;
    platform::Error m_error;
};

// /z: the main file's lines that the messages name, read again from the source.
std::vector<std::pair<int, std::string>> linesNamed(tasm::SourceReader& source, const std::set<int>& wanted) {
    std::vector<std::pair<int, std::string>> found;
    tasm::LineStream lines;
    if (wanted.empty() || !lines.start(source)) return found;
    std::string line;
    for (int n = 1; n <= *wanted.rbegin() && lines.next(line); ++n)
        if (wanted.count(n)) found.emplace_back(n, line);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    tasm::CommandLine cl;
    std::string err;
    std::string cfgDir = tasm::configDirectory(argc > 0 ? argv[0] : "", platform::currentDirectory(), platform::executablePath());
    std::string cfgPath = platform::joinPath(cfgDir, "TASM.CFG");
    if (auto found = platform::findNoCase(cfgPath)) {
        if (auto text = platform::readFile(*found)) {
            if (!tasm::parseWords(tasm::splitWords(*text), cl, err, looksLikePath)) return fatal(err);
        }
    }
    const size_t cfgIncludeDirs = cl.options.includeDirs.size();
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (!a.empty() && a[0] == '@') {
            auto text = platform::readFile(platform::resolveNoCase(a.substr(1)));
            if (!text) return fatal("Can't find @file " + a.substr(1));
            for (const std::string& w : tasm::splitWords(*text)) words.push_back(w);
            continue;
        }
        words.push_back(a);
    }
    if (!tasm::parseWords(words, cl, err, looksLikePath)) return fatal(err);
    // Include directories named on the command line are searched before those of TASM.CFG.
    auto& dirs = cl.options.includeDirs;
    std::rotate(dirs.begin(), dirs.begin() + static_cast<long>(cfgIncludeDirs), dirs.end());
    if (cl.help || cl.source.empty()) {
        help();
        return cl.help ? 0 : 1;
    }
    std::string shown = withExtension(cl.source, ".ASM");
    std::optional<std::string> path = platform::findNoCase(shown);
    if (!path && !hasExtension(cl.source)) path = platform::findNoCase(cl.source + ".asm");
    const tasm::Options& opts = cl.options;
    if (!opts.terse) {
        banner();
        out("Assembling file:   " + shown);
    }
    std::uint64_t sourceSize = 0;
    std::unique_ptr<FileSource> source = path ? openSource(*path, sourceSize) : nullptr;
    if (!source) {
        if (opts.terse) banner();
        out("**Fatal** Unable to open input file: " + shown);
        return 2;
    }
    std::vector<std::string> inputs{*path};
    tasm::FileReader reader = [&inputs](const std::string& name) -> std::optional<std::string> {
        auto p = platform::findNoCase(name);
        if (p) inputs.push_back(*p);
        return p ? platform::readFile(*p) : std::nullopt;
    };
    tasm::Options run = opts;
    bool listing = opts.listing || cl.listingNamed;
    run.listing = listing;
    std::string base = stripExtension(cl.source);
    std::string objName = cl.object.empty() ? base + ".OBJ" : withExtension(cl.object, ".OBJ");
    std::string lstName = cl.listingNamed ? withExtension(cl.listing, ".LST") : base + ".LST";
    std::vector<std::string> outputs{objName};
    if (listing) outputs.push_back(lstName);
    // "TASM BAD.ASM, BAD.ASM" must not replace (or, after an error, delete) the source.
    if (std::string clash = clashingOutput(outputs, inputs); !clash.empty())
        return outputIsInput(clash, opts.terse);
    std::string objPath = platform::resolveNoCase(objName);
    ObjectFile object(objPath);
    ListingFile listingFile(platform::resolveNoCase(lstName));
    tasm::AssemblyResult r = tasm::assemble(shown, *source, run, reader, object, listing ? &listingFile : nullptr);
    if (std::string clash = clashingOutput(outputs, inputs); !clash.empty())
        return outputIsInput(clash, opts.terse);
    bool failed = r.errorCount > 0;
    if (opts.terse && failed) {
        banner();
        out("Assembling file:   " + shown);
    }
    for (const std::string& m : r.messages) out(m);
    // /z: the offending source line of the main file goes in front of its message.
    std::set<int> wanted;
    for (const tasm::Diagnostic& d : r.diagnostics)
        if (opts.showSource && d.file == shown && d.line >= 1) wanted.insert(d.line);
    std::vector<std::pair<int, std::string>> lines = linesNamed(*source, wanted);
    for (const tasm::Diagnostic& d : r.diagnostics) {
        auto at = std::lower_bound(lines.begin(), lines.end(), std::make_pair(d.line, std::string()));
        if (opts.showSource && d.file == shown && at != lines.end() && at->first == d.line) out(at->second);
        out(tasm::formatDiagnostic(d));
    }

    int rc = failed ? 1 : 0;
    if (failed) {
        platform::removeNoCase(objName);  // a stale object must not be linked as if it were new
    } else if (!r.objectError.empty() || !object.commit().empty()) {
        out("**Fatal** Can't write object file: " + objName);
        rc = 2;
    }
    if (listing && !listingFile.commit().empty()) {
        out("**Fatal** Can't write listing file: " + lstName);
        rc = 2;
    }
    if (!opts.terse || failed) {
        auto count = [](int n) { return n == 0 ? std::string("None") : std::to_string(n); };
        out("Error messages:    " + count(r.errorCount));
        out("Warning messages:  " + count(r.warningCount));
        out("Passes:            " + std::to_string(r.passes));
        // The classic figure: what is left of a 640K DOS arena after the source and its tables.
        long used = static_cast<long>(sourceSize / 1024 + r.objectSize / 1024) + 96;
        out("Remaining memory:  " + std::to_string(used < 640 ? 640 - used : 0) + "k");
    }
    std::fflush(stdout);
    return rc;
}
