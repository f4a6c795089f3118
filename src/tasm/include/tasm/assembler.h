#pragma once
// The assembler's public face: assemble a source text into an object module, a listing and a list of
// diagnostics, and assemble a single instruction for DEBUG's A command.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace krvs::omf {
class RecordSink;
}

namespace krvs::tasm {

enum class Severity : std::uint8_t { Warning, Error, Fatal };

struct Diagnostic {
    Severity severity = Severity::Error;
    std::string file;   // as the user named it (empty for command-line problems)
    int line = 0;       // line in that file
    std::string macro;  // name of the macro or repeat block being expanded, if any
    int macroLine = 0;  // line inside that expansion
    std::string message;
};

// "**Error** file(12) message" as the classic tool prints it.
std::string formatDiagnostic(const Diagnostic& d);

// Source text split into lines (CR LF, LF; a final DOS end-of-file mark dropped).
std::vector<std::string> splitLines(const std::string& text);

enum class CaseMode : std::uint8_t { Upper, All, Globals };  // default, /ml, /mx

struct Options {
    bool listing = false;         // /l
    bool listingAll = false;      // /la: also expansions of macros
    bool crossRef = false;        // /c
    bool noSymbolTable = false;   // /n
    bool lineNumbers = false;     // /zi or /zd
    bool fullDebug = false;       // /zi
    CaseMode caseMode = CaseMode::Upper;
    int maxPasses = 10;           // /m
    int warnLevel = 2;            // /w0 /w1 /w2
    bool quiet = false;           // /q: leave comments and names out of the object
    bool terse = false;           // /t
    bool showSource = false;      // /z
    std::vector<std::string> includeDirs;        // /i, in order of precedence
    std::vector<std::pair<std::string, std::string>> defines;  // /dNAME[=VALUE]
    std::string date, time;       // "mm/dd/yy", "hh:mm:ss" for ??DATE and the listing; empty: now
};

// Reads a file named in the source (INCLUDE) or the source itself. Returns nullopt when missing.
using FileReader = std::function<std::optional<std::string>(const std::string& path)>;

// The main source, read from its start again in every pass through a buffer: a source of any size
// costs the assembler no more than that buffer.
class SourceReader {
public:
    virtual ~SourceReader() = default;
    // Back to the first byte; false when the source cannot be read again.
    virtual bool rewind() = 0;
    // Up to `size` bytes into `buffer`, 0 at the end, nullopt on a read error.
    virtual std::optional<size_t> read(char* buffer, size_t size) = 0;
};

// Where the listing's text goes as it is laid out, instead of into the result.
class ListingSink {
public:
    virtual ~ListingSink() = default;
    virtual void write(std::string_view text) = 0;
};

struct AssemblyResult {
    std::vector<Diagnostic> diagnostics;
    int errorCount = 0;
    int warningCount = 0;
    int passes = 0;
    std::vector<std::uint8_t> object;  // the OMF module; empty when there were errors or it went to a sink
    size_t objectSize = 0;             // its size in bytes, wherever it went
    std::string objectError;           // the sink could not take it: why (the module is incomplete)
    std::string listing;               // the .LST text (CR LF), when asked for and not sent to a sink
    std::vector<std::string> messages; // %OUT lines in the order met
};

// Assembles `source` (named `fileName` in diagnostics, `objectName` in the object's header).
AssemblyResult assemble(const std::string& fileName, const std::string& source, const Options& options,
                        const FileReader& reader);
// The same, reading the source pass by pass; the object module's records go to `object` as each is
// complete (nothing reaches it when there are errors) and the listing to `listing` if one is given,
// instead of into the result.
AssemblyResult assemble(const std::string& fileName, SourceReader& source, const Options& options,
                        const FileReader& reader, omf::RecordSink& object, ListingSink* listing = nullptr);

// One-line assembler for DEBUG's A command: the instruction at `offset`, numbers in hex.
struct LineAssembly {
    std::vector<std::uint8_t> bytes;
    int errorColumn = -1;  // 0-based column of the error, -1 when the line assembled
    std::string message;
};
LineAssembly assembleLine(const std::string& text, std::uint16_t offset);

}  // namespace krvs::tasm
