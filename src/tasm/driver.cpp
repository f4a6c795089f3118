// Passes over the source: each pass reads the lines from the top, expanding includes, macros and
// repeat blocks, and hands every line to the statement processor. Passes repeat until no symbol moves
// and no jump grows; the diagnostics and output of the last pass are the result.

#include <algorithm>
#include <ctime>

#include "asm.h"

namespace krvs::tasm {

namespace {
constexpr int kMaxFrames = 64;
constexpr int kMaxLinesPerPass = 4000000;
constexpr int kPassLimit = 32;
}  // namespace

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            size_t end = i;
            if (end > start && text[end - 1] == '\r') --end;
            lines.emplace_back(text, start, end - start);
            start = i + 1;
        }
    }
    if (start < text.size()) {
        std::string last = text.substr(start);
        if (!last.empty() && last.back() == '\r') last.pop_back();
        // A DOS end-of-file mark ends the text.
        if (!(last.size() == 1 && last[0] == '\x1a')) lines.push_back(std::move(last));
    }
    return lines;
}

Assembler::Assembler(const Options& options, FileReader reader)
    : m_syms(options.caseMode),
      m_macros(16, NameHash{options.caseMode != CaseMode::All}, NameEq{options.caseMode != CaseMode::All}),
      m_opts(options),
      m_reader(std::move(reader)) {}

Diagnostic Assembler::located(const std::string& msg, Severity severity) const {
    Diagnostic d;
    d.severity = severity;
    d.message = msg;
    for (const Frame& f : m_frames) {
        if (f.kind == Frame::Kind::File) {
            d.file = f.name;
            d.line = f.line;
        }
    }
    if (!m_frames.empty() && m_frames.back().kind != Frame::Kind::File) {
        d.macro = m_frames.back().name;
        d.macroLine = m_frames.back().line;
    }
    return d;
}

void Assembler::error(const std::string& msg, int col) {
    if (col >= 0 && m_lastErrorCol < 0) m_lastErrorCol = col;
    m_diags.add(located(msg, Severity::Error));
}

void Assembler::warning(const std::string& msg, int level) {
    if (m_opts.warnLevel < level) return;
    m_diags.add(located(msg, Severity::Warning));
}

void Assembler::fatal(const std::string& msg) { m_diags.add(located(msg, Severity::Fatal)); }

void Assembler::resetPass() {
    m_segs.clear();
    m_groups.clear();
    m_exts.clear();
    m_macros.clear();
    for (int& a : m_assume) a = -1;
    m_curSeg = -1;
    m_segStack.clear();
    m_procStack.clear();
    m_cpu = 0;
    m_fpu = false;
    m_radix = 10;
    m_model = 0;
    m_dosseg = false;
    m_hasStart = false;
    m_ended = false;
    m_strucOpen = -1;
    m_jmpIndex = 0;
    m_diags.startPass();
    m_list.clear();
    m_outMessages.clear();
    m_listNo = 0;
    m_frames.clear();
    m_conds.clear();
    m_collect = Collect();
    m_commentDelim = 0;
    m_expansions = 0;
    m_exitm = 0;
    m_changed = false;
    m_syms.resetLocalScope();
    m_localCounter = 0;
    m_lineCode.clear();
    m_listMute = 0;
    m_title.clear();
    m_subttl.clear();
    m_listOff = false;
    m_crossRefs.clear();
    m_jumps = false;
    for (Symbol& s : m_syms) {
        if (s.kind == SymKind::Extern) s.ext = -1;
        s.isPublic = false;
    }
}

void Assembler::pushFrame(Frame f) {
    if (m_frames.size() >= static_cast<size_t>(kMaxFrames)) {
        fatal(f.kind == Frame::Kind::File ? "Too many nested includes" : "Macro expansion too deep");
        return;
    }
    f.condDepth = m_conds.size();
    m_frames.push_back(std::move(f));
}

void Assembler::popFrame() {
    const Frame& f = m_frames.back();
    if (f.kind != Frame::Kind::File && m_conds.size() > f.condDepth) m_conds.resize(f.condDepth);
    if (f.kind == Frame::Kind::File && m_conds.size() > f.condDepth && m_frames.size() > 1) {
        // A conditional left open in an include file is closed with it.
        m_conds.resize(f.condDepth);
    }
    m_frames.pop_back();
}

bool Assembler::nextLine(std::string& line) {
    while (!m_frames.empty()) {
        Frame& f = m_frames.back();
        if (f.next < f.lines->size() && !m_diags.fatal()) {
            line = (*f.lines)[f.next++];
            f.line = f.bodyLines > 0 ? static_cast<int>((f.next - 1) % static_cast<size_t>(f.bodyLines)) + 1
                                     : static_cast<int>(f.next);
            return true;
        }
        if (m_frames.size() == 1 || m_diags.fatal()) return false;
        popFrame();
    }
    return false;
}

bool Assembler::includeFile(const std::string& name) {
    auto it = m_fileCache.find(name);
    std::shared_ptr<const std::vector<std::string>> lines;
    if (it != m_fileCache.end()) {
        lines = it->second;
    } else {
        std::optional<std::string> text = m_reader ? m_reader(name) : std::nullopt;
        if (!text) return false;
        lines = std::make_shared<const std::vector<std::string>>(splitLines(*text));
        m_fileCache[name] = lines;
    }
    Frame f;
    f.kind = Frame::Kind::File;
    f.lines = lines;
    f.name = name;
    pushFrame(std::move(f));
    return true;
}

void Assembler::runPass(const std::string& fileName, const std::string& source) {
    resetPass();
    if (!m_fileCache.count("\x01main"))
        m_fileCache["\x01main"] = std::make_shared<const std::vector<std::string>>(splitLines(source));
    Frame f;
    f.kind = Frame::Kind::File;
    f.lines = m_fileCache["\x01main"];
    f.name = fileName;
    m_frames.push_back(std::move(f));
    predefine();
    for (const auto& [name, value] : m_opts.defines) {
        int s = lookupOrCreate(name);
        std::vector<Token> toks;
        int errCol = 0;
        Value v;
        size_t pos = 0;
        if (!value.empty() && tokenize(value, toks, errCol) && evaluate(toks, pos, v) && v.isConst()) {
            if (defineSymbol(s, SymKind::Number, true)) m_syms[s].val = v;
        } else if (defineSymbol(s, SymKind::Text, true)) {
            m_syms[s].text = value;
        }
    }
    std::string line;
    while (!m_ended && nextLine(line)) {
        processLine(line);
        if (m_diags.fatal()) return;
        if (++m_expansions > kMaxLinesPerPass) {
            fatal("Too many lines");
            return;
        }
    }
    if (!m_ended && !m_diags.fatal()) {
        while (m_frames.size() > 1) m_frames.pop_back();
        closeOpenBlocks();
        error("Unexpected end of file encountered");
    }
}

// Symbols every source sees: date, time, file name, version and the processor.
void Assembler::predefine() {
    auto text = [&](const char* name, const std::string& value) {
        int s = lookupOrCreate(name);
        if (defineSymbol(s, SymKind::Text, true)) m_syms[s].text = value;
    };
    if (m_date.empty() && !m_opts.date.empty()) {
        m_date = m_opts.date;
        m_time = m_opts.time;
    }
    if (m_date.empty()) {
        std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        char buf[32];
        std::strftime(buf, sizeof buf, "%m/%d/%y", &tm);
        m_date = buf;
        std::strftime(buf, sizeof buf, "%H:%M:%S", &tm);
        m_time = buf;
    }
    std::string base = m_mainFile;
    size_t slash = base.find_last_of("/\\:");
    if (slash != std::string::npos) base = base.substr(slash + 1);
    base = upper(base.substr(0, base.find('.')));
    if (base.size() > 8) base.resize(8);
    text("??DATE", "\"" + m_date + "\"");
    text("??TIME", "\"" + m_time + "\"");
    std::string padded = base;
    padded.resize(8, ' ');
    text("??FILENAME", "\"" + padded + "\"");
    text("@FILENAME", base);
    text("@CPU", "0101H");
    text("@WORDSIZE", "2");
    text("@CURSEG", "");
    int v = lookupOrCreate("??VERSION");
    if (defineSymbol(v, SymKind::Number, true)) {
        m_syms[v].val = Value();
        m_syms[v].val.num = 0x0100;
    }
}

AssemblyResult Assembler::run(const std::string& fileName, const std::string& source) {
    m_mainFile = fileName;
    int passLimit = std::clamp(m_opts.maxPasses, 2, kPassLimit);
    for (m_pass = 1;; ++m_pass) {
        m_finalPass = m_pass >= 2;
        runPass(fileName, source);
        if (m_diags.fatal()) break;
        if (m_pass >= 2 && !m_changed) break;
        if (m_pass >= passLimit + 1) {
            error("Pass-dependent construction encountered");
            break;
        }
    }
    return finish();
}

}  // namespace krvs::tasm
