#pragma once
// The statement processor and the passes. One Assembler runs all passes over a source; each pass
// starts from the top with the symbol values that the previous pass found. Its parts (symbol table,
// segment set, diagnostics, listing recorder, line sources, module settings) are separate objects;
// directives reach them through a DirContext (context.h), never through the Assembler itself.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <x86/encoder.h>

#include "diagnostics.h"
#include "encode_cache.h"
#include "keywords.h"
#include "lexer.h"
#include "listing.h"
#include "module.h"
#include "segments.h"
#include "sources.h"
#include "symbols.h"
#include "tasm/assembler.h"
#include "value.h"

namespace krvs::tasm {

// One body line of a macro as its definition prepared it for expansion: where parameter (and
// LOCAL) names stand in it, so that an expansion copies text instead of scanning it again.
struct MacroLine {
    struct Ref {
        std::uint32_t from = 0, to = 0;  // the name in the line
        std::uint32_t name = 0;          // parameters first, then LOCAL names in order
        bool quoted = false;             // inside quotes: replaced only where an & touches it
        bool ampAfter = false;           // an & follows (and goes)
    };
    std::vector<Ref> refs;
    size_t end = std::string::npos;  // a ";;" comment is left out of the expansion
    int locals = -1;                 // a LOCAL line: how many names it declares
};

struct Macro {
    std::string name;
    std::string upperName;  // as messages about its lines show it
    std::vector<std::string> params;
    std::vector<bool> required;
    std::vector<std::string> body;
    std::vector<MacroLine> lines;  // the body prepared (finishCollect)
};

// Macros by SymbolTable::key.
using MacroTable = std::unordered_map<std::string, Macro, NameHash, NameEq>;

// A macro or repeat block whose body lines are being collected up to its ENDM.
struct Collect {
    bool active = false;
    int depth = 0;
    std::string kind;  // MACRO REPT IRP IRPC
    Macro macro;
    std::vector<std::string> args;  // IRP/IRPC items, REPT count as text
    int count = 0;
};

struct InstrOperand {
    Value v;
    x86::Operand op;
};

struct DirectiveInfo;

class Assembler {
public:
    Assembler(const Options& options, FileReader reader);
    // The object module goes to `object` when one is given, else into the result.
    AssemblyResult run(const std::string& fileName, SourceReader& source, omf::RecordSink* object,
                       ListingSink* listing = nullptr);

    // Used by the one-line assembler: set up one code segment at `offset` and assemble `text`.
    bool assembleSingle(const std::string& text, std::uint16_t offset, std::vector<std::uint8_t>& bytes,
                        std::string& message, int& col);

private:
    friend class DirContext;

    // Messages about the line being read (driver.cpp).
    void error(const std::string& msg, int col = -1);
    void warning(const std::string& msg, int level = 1);
    void fatal(const std::string& msg);
    void pass1Error();
    Diagnostic located(const std::string& msg, Severity severity) const;

    // Expressions (expr.cpp).
    bool evaluate(const std::vector<Token>& toks, size_t& pos, Value& out);
    bool evalConst(const std::vector<Token>& toks, size_t& pos, std::int32_t& out, bool allowUndefined);
    bool parseNumber(std::string_view text, std::int32_t& out);
    int typeKeyword(std::string_view word) const;  // BYTE WORD ... or a structure's size; 0 if none

    // Symbols: defining one is a rule of the pass (symbols.cpp).
    bool defineSymbol(int idx, SymKind kind, bool redefinable = false);
    void defineLabel(int sym, int type);
    void noteRef(int sym, bool defines = false) { m_listing.noteRef(sym, defines); }
    void predefine();

    // Emission (emit.cpp).
    bool needSegment();
    void emitByte(std::uint8_t b);
    void emitListedByte(std::uint8_t b);
    void emitWord(std::uint16_t w);
    void reserve(std::uint32_t n);
    void addFixup(FixKind kind, const Value& v, std::uint32_t at, std::int32_t disp = 0);
    void emitValue(const Value& v, int size);  // a data item with its relocation
    void emitValueBytes(const Value& v, int size);
    std::int32_t here() const;

    // Passes (driver.cpp) and output (output.cpp, listing.cpp).
    void runPass(const std::string& fileName, SourceReader& source);
    void resetPass();
    void processLine(const std::string& line);
    void endLine(const std::string& line, std::uint32_t startLc, int startSeg, size_t diagStart);
    void recordLine(int startSeg, std::uint32_t startLc);
    AssemblyResult finish(omf::RecordSink* object, ListingSink* listing);
    // The last use of the segments' images: each is written as records and freed at once, so that
    // the records are never held beside the image. Empty on success, else why the sink failed.
    std::string writeObject(omf::RecordSink& out, size_t& written);
    void checkPublics();
    void checkObjectNames();
    // The listing's text, or "" when it went to `sink` as it was laid out.
    std::string buildListing(const std::string& header, ListingSink* sink) const;
    void symbolTable(std::string& out, int& page, const std::string& header, ListingSink* sink) const;

    // Statements (statement.cpp, directives.cpp, dir_*.cpp, instr.cpp, macro.cpp).
    void statement(const std::string& line, std::vector<Token>& toks);
    void callDirective(const DirectiveInfo& d, std::string_view word, int sym, const std::vector<Token>& toks,
                       size_t pos, const std::string& line);
    void conditionalWhileSkipping(const std::vector<Token>& toks);
    void instruction(const std::vector<Token>& toks, size_t pos, const Keyword& first);
    bool jumpOperand(const Keyword& mnem, Value& v, x86::Operand& op);
    bool toOperand(const Keyword& mnem, Value& v, x86::Operand& op);
    void reportEncodeError(const Keyword& mnem, const x86::EncodeResult& r, const std::vector<InstrOperand>& ops);
    void emitEncoded(const x86::EncodeResult& r, const std::vector<InstrOperand>& ops);
    bool longConditionalJump(const Keyword& mnem, const InstrOperand& o);
    bool expandMacro(const Macro& m, const std::string& line, size_t argStart);
    void finishCollect(Collect& c);
    void prepareMacro(Macro& m) const;
    void strucField(std::string_view name, int size, const std::vector<Token>& toks, size_t pos);
    void structVariable(int sym, int type, const std::vector<Token>& toks, size_t pos);
    int openSegment(const std::string& name, bool create);
    void closeOpenBlocks();
    std::string sourceText(const std::string& line, const std::vector<Token>& toks, size_t from) const;
    void pushExpansion(Frame f);

    Options m_opts;
    // The parts.
    SymbolTable m_syms;
    Diagnostics m_diags;
    SegmentSet m_segs;
    ListingRecorder m_listing;
    SourceStack m_sources;
    ModuleState m_mod;
    MacroTable m_macros;
    Collect m_collect;

    // The pass.
    int m_pass = 0;
    bool m_finalPass = false;
    bool m_changed = false;  // a symbol moved this pass: another pass is needed
    int m_expansions = 0;    // lines read this pass, against runaway expansions
    unsigned m_localCounter = 0;  // LOCAL names given this pass
    std::string m_date, m_time;
    // Per jump instruction: needs the long form (found in an earlier pass, never shrinks).
    std::vector<std::uint8_t> m_jmpLong;
    size_t m_jmpIndex = 0;
    EncodeCache m_encoded;

    // The line being assembled.
    std::vector<Token> m_tokBuf;         // reused from line to line
    std::vector<InstrOperand> m_opsBuf;  // reused from instruction to instruction
    bool m_lineLabel = false;
    bool m_lineInstr = false;    // the line assembled an instruction (line numbers cover code only)
    bool m_lineEmitted = false;
    int m_exprNesting = 0;       // levels of the expression being evaluated
    int m_lastErrorCol = -1;
    bool m_singleLine = false;   // DEBUG's one-line assembler
};

}  // namespace krvs::tasm
