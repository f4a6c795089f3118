#pragma once
// Where the lines come from: the main file, include files, macro expansions and repeat blocks, read
// as a stack (an expansion is read to its end before the line after its call), and the nesting of
// conditional assembly within them.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tasm/assembler.h"

namespace krvs::tasm {

// The lines of one source as one text and where each line starts: a file's lines cost four bytes
// each beyond the file's own text, and no line is a heap object of its own.
class LineText {
public:
    // The lines of a file: CR LF or LF ends a line; a lone DOS end-of-file mark as the last line
    // ends the text. `text` must outlive this object (the source being assembled does).
    static std::shared_ptr<const LineText> view(std::string_view text);
    // The same, keeping its own copy (include files).
    static std::shared_ptr<const LineText> own(std::string text);

    // Building the lines of an expansion one by one.
    void reserve(size_t lines, size_t chars);
    void add(std::string_view line);

    size_t size() const { return m_starts.size(); }
    bool empty() const { return m_starts.empty(); }
    std::string_view operator[](size_t i) const;

private:
    void split();
    std::string m_owned;
    std::string_view m_text;  // what the lines are taken from: m_owned, or a text the caller keeps
    bool m_split = false;     // lines of a file: a CR before the LF is no part of the line
    std::vector<std::uint32_t> m_starts;
    std::uint32_t m_end = 0;  // end of the last line
};

// A source held in memory, read as a SourceReader (the library's callers that have the text).
class TextSource : public SourceReader {
public:
    explicit TextSource(std::string_view text) : m_text(text) {}
    bool rewind() override {
        m_pos = 0;
        return true;
    }
    std::optional<size_t> read(char* buffer, size_t size) override;

private:
    std::string_view m_text;
    size_t m_pos = 0;
};

// The main file's lines, read through a fixed buffer from its start again in every pass, so that a
// large source is never held whole. What was read leaves a fingerprint: a source that changes
// between passes is noticed instead of being assembled half old, half new.
class LineStream {
public:
    // From the first byte again; false when the reader cannot go back there.
    bool start(SourceReader& reader);
    // The next line (the same lines as LineText's); false at the end or on a read error.
    bool next(std::string& line);
    bool failed() const { return m_failed; }
    std::uint64_t fingerprint() const { return m_hash ^ (m_bytes * 0x9E3779B97F4A7C15ull); }

private:
    bool fill();
    SourceReader* m_reader = nullptr;
    std::unique_ptr<char[]> m_buffer;
    size_t m_pos = 0, m_len = 0;
    bool m_atEnd = true, m_failed = false;
    std::uint64_t m_hash = 0, m_bytes = 0;
};

// A source of lines: a file, a macro expansion or a repeat block. The main file has no `lines`:
// it is read through the stack's LineStream.
struct Frame {
    enum class Kind : std::uint8_t { File, Macro, Repeat };
    Kind kind = Kind::File;
    std::shared_ptr<const LineText> lines;
    size_t next = 0;
    std::string name;         // file name as given, or macro name
    int bodyLines = 0;        // repeat blocks: lines per round, to number lines inside the body
    size_t condDepth = 0;     // conditional nesting when the frame was entered
    int line = 0;             // current line (1-based) in this frame
};

// One IF level.
struct Cond {
    bool active;        // this branch is being assembled
    bool taken;         // some branch of this IF was taken
    bool parentActive;
    bool sawElse;
};

class SourceStack {
public:
    explicit SourceStack(FileReader reader) : m_reader(std::move(reader)) {}

    // A new pass reads the main file from its first line again; false when it cannot be read.
    bool startPass(const std::string& fileName, SourceReader& source);
    // The main file could not be read to its end, or what was read (a fingerprint of it).
    bool mainFailed() const { return m_main.failed(); }
    std::uint64_t mainFingerprint() const { return m_main.fingerprint(); }
    // Reading one line with its text given (the one-line assembler).
    void startSingle(const std::string& name, const std::string& line);

    const std::string& mainFile() const { return m_mainFile; }

    // The next line, popping the sources that have ended; false at the end of the main file.
    bool next(std::string& line);
    // False (nothing pushed) when the nesting is too deep; the caller reports it.
    bool push(Frame f);
    void pop();
    // An include file, read once per run; false when it cannot be read.
    enum class Include : std::uint8_t { Ok, Unreadable, TooDeep };
    Include include(const std::string& name);
    // Ends the innermost macro expansion (EXITM); false when no macro is being expanded.
    bool exitMacro();
    // Back to the main file only (end of the text with blocks still open).
    void dropToMain();

    bool empty() const { return m_frames.empty(); }
    size_t depth() const { return m_frames.size(); }
    const Frame& top() const { return m_frames.back(); }
    bool inExpansion() const { return !m_frames.empty() && m_frames.back().kind != Frame::Kind::File; }
    const std::vector<Frame>& frames() const { return m_frames; }
    // Where a message about the current line points: the innermost file and line, and the
    // macro (with its line) being expanded there.
    Diagnostic locate(Diagnostic d) const;

    // Conditional assembly.
    bool active() const { return m_conds.empty() || m_conds.back().active; }
    std::vector<Cond>& conds() { return m_conds; }
    // The IF levels opened in the current source (an ENDIF may close only those).
    size_t condsOfTop() const {
        const size_t outer = m_frames.empty() ? 0 : m_frames.back().condDepth;
        return m_conds.size() > outer ? m_conds.size() - outer : 0;
    }

    // A COMMENT block: its delimiter while its lines are being skipped, 0 otherwise.
    char commentDelimiter() const { return m_commentDelim; }
    void setCommentDelimiter(char c) { m_commentDelim = c; }

private:
    FileReader m_reader;
    std::vector<Frame> m_frames;
    std::map<std::string, std::shared_ptr<const LineText>> m_fileCache;
    LineStream m_main;
    std::string m_mainFile;
    std::vector<Cond> m_conds;
    char m_commentDelim = 0;
};

}  // namespace krvs::tasm
