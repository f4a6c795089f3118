// Passes over the source: each pass reads the lines from the top, expanding includes, macros and
// repeat blocks, and hands every line to the statement processor. Passes repeat until no symbol moves
// and no jump grows; the diagnostics and output of the last pass are the result.

#include <algorithm>
#include <ctime>

#include "context.h"

namespace krvs::tasm {

namespace {
constexpr int kMaxLinesPerPass = 4000000;
constexpr int kPassLimit = 32;
}  // namespace

Assembler::Assembler(const Options& options, FileReader reader)
    : m_opts(options),
      m_syms(options.caseMode),
      m_listing(options.listing, options.listingAll, options.crossRef),
      m_sources(std::move(reader)),
      m_macros(16, NameHash{options.caseMode != CaseMode::All}, NameEq{options.caseMode != CaseMode::All}) {}

Diagnostic Assembler::located(const std::string& msg, Severity severity) const {
    Diagnostic d;
    d.severity = severity;
    d.message = msg;
    return m_sources.locate(std::move(d));
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
    m_segs.reset(m_finalPass);
    m_macros.clear();
    m_mod = ModuleState();
    m_jmpIndex = 0;
    m_diags.startPass();
    m_listing.reset();
    m_collect = Collect();
    m_expansions = 0;
    m_changed = false;
    m_syms.resetLocalScope();
    m_localCounter = 0;
    m_syms.forgetExterns();
    for (Symbol& s : m_syms) s.isPublic = false;
}

// A macro expansion or repeat block: read before the line after it.
void Assembler::pushExpansion(Frame f) {
    if (!m_sources.push(std::move(f))) fatal("Macro expansion too deep");
}

void Assembler::runPass(const std::string& fileName, SourceReader& source) {
    resetPass();
    const bool readable = m_sources.startPass(fileName, source);
    predefine();
    for (const auto& [name, value] : m_opts.defines) {
        int s = m_syms.lookupOrCreate(name);
        std::vector<Token> toks;
        int errCol = 0;
        Value v;
        size_t pos = 0;
        if (!value.empty() && tokenize(value, toks, errCol) && evaluate(toks, pos, v) && v.isConst()) {
            if (defineSymbol(s, SymKind::Number, true)) m_syms[s].val() = v;
        } else if (defineSymbol(s, SymKind::Text, true)) {
            m_syms[s].text() = value;
        }
    }
    std::string line;
    while (readable && !m_mod.ended && m_sources.next(line)) {
        processLine(line);
        if (m_diags.fatal()) return;
        if (++m_expansions > kMaxLinesPerPass) {
            fatal("Too many lines");
            return;
        }
    }
    if (!readable || m_sources.mainFailed()) {
        fatal("Unable to read input file: " + fileName);
        return;
    }
    if (!m_mod.ended && !m_diags.fatal()) {
        m_sources.dropToMain();
        closeOpenBlocks();
        error("Unexpected end of file encountered");
    }
}

// Symbols every source sees: date, time, file name, version and the processor.
void Assembler::predefine() {
    auto text = [&](const char* name, const std::string& value) {
        int s = m_syms.lookupOrCreate(name);
        if (defineSymbol(s, SymKind::Text, true)) m_syms[s].text() = value;
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
    std::string base = m_sources.mainFile();
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
    int v = m_syms.lookupOrCreate("??VERSION");
    if (defineSymbol(v, SymKind::Number, true)) {
        m_syms[v].val() = Value();
        m_syms[v].val().num = 0x0100;
    }
}

AssemblyResult Assembler::run(const std::string& fileName, SourceReader& source, omf::RecordSink* object,
                              ListingSink* listing) {
    int passLimit = std::clamp(m_opts.maxPasses, 2, kPassLimit);
    std::uint64_t firstRead = 0;
    for (m_pass = 1;; ++m_pass) {
        m_finalPass = m_pass >= 2;
        runPass(fileName, source);
        if (m_diags.fatal()) break;
        // The main file is read again in every pass: one that changed meanwhile (an editor saving
        // it) would give an object made of two different texts.
        if (m_pass == 1) firstRead = m_sources.mainFingerprint();
        else if (m_sources.mainFingerprint() != firstRead) {
            fatal("Source file changed during assembly: " + fileName);
            break;
        }
        if (m_pass >= 2 && !m_changed) break;
        if (m_pass >= passLimit + 1) {
            error("Pass-dependent construction encountered");
            break;
        }
    }
    return finish(object, listing);
}

}  // namespace krvs::tasm
