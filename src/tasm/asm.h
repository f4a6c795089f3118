#pragma once
// The assembler's working state and the statement processor. One Assembler runs all passes over a
// source; each pass starts from the top with the symbol values that the previous pass found.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <x86/encoder.h>

#include "diagnostics.h"
#include "lexer.h"
#include "symbols.h"
#include "tasm/assembler.h"
#include "value.h"

namespace krvs::tasm {

enum class Combine : std::uint8_t { Private, Public, Stack, Common, Memory, At };

enum class FixKind : std::uint8_t { Lo8, Off16, Base16, Ptr32, Rel8, Rel16 };
enum class RefKind : std::uint8_t { Segment, Group, Extern, Target };

struct Fixup {
    std::uint32_t offset = 0;
    FixKind kind = FixKind::Off16;
    RefKind target = RefKind::Segment;
    int targetIndex = 0;
    RefKind frame = RefKind::Target;
    int frameIndex = 0;
    std::int32_t disp = 0;  // self-relative fixups: the target's offset
    bool groupFrame = false;  // frame: the target segment's group, if it has one (known at output)
};

struct Segment {
    std::string name;
    std::string className;
    int align = 16;
    Combine combine = Combine::Private;
    std::uint16_t atFrame = 0;
    int group = -1;
    std::vector<std::uint8_t> bytes;  // initialised image up to the last written byte
    std::uint32_t lc = 0;
    std::uint32_t size = 0;
    std::vector<Fixup> fixups;
    std::vector<std::pair<int, std::uint32_t>> lines;  // source line, offset
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;  // written byte ranges [from, to)
    int sym = -1;
};

struct Group {
    std::string name;
    std::vector<int> segs;
    int sym = -1;
};

struct Extern {
    std::string name;
    int type = kTypeNone;
    int sym = -1;
};

struct Macro {
    std::string name;
    std::vector<std::string> params;
    std::vector<bool> required;
    std::vector<std::string> body;
};

// A source of lines: a file, a macro expansion or a repeat block.
struct Frame {
    enum class Kind : std::uint8_t { File, Macro, Repeat };
    Kind kind = Kind::File;
    std::shared_ptr<const std::vector<std::string>> lines;
    size_t next = 0;
    std::string name;         // file name as given, or macro name
    int bodyLines = 0;        // repeat blocks: lines per round, to number lines inside the body
    size_t condDepth = 0;     // conditional nesting when the frame was entered
    int line = 0;             // current line (1-based) in this frame
};

struct InstrOperand {
    Value v;
    x86::Operand op;
};

struct ListLine {
    int listNo = 0;
    bool hasOffset = false;
    std::uint32_t offset = 0;
    std::string code;   // object-code column
    std::string source;
    std::vector<size_t> diags;
    bool expansion = false;
};

class Assembler {
public:
    Assembler(const Options& options, FileReader reader);
    AssemblyResult run(const std::string& fileName, const std::string& source);

    // Used by the one-line assembler: set up one code segment at `offset` and assemble `text`.
    bool assembleSingle(const std::string& text, std::uint16_t offset, std::vector<std::uint8_t>& bytes,
                        std::string& message, int& col);

    // --- shared by the parts of the assembler ---
    const Options& opts() const { return m_opts; }
    void error(const std::string& msg, int col = -1);
    void warning(const std::string& msg, int level = 1);
    void fatal(const std::string& msg);

    // Expressions (expr.cpp).
    bool evaluate(const std::vector<Token>& toks, size_t& pos, Value& out);
    bool evalConst(const std::vector<Token>& toks, size_t& pos, std::int32_t& out, bool allowUndefined);
    bool parseNumber(std::string_view text, std::int32_t& out);
    int typeKeyword(std::string_view word) const;  // BYTE WORD ... or a structure's size; 0 if none

    // Symbols: names live in m_syms; defining one is a rule of the pass (symbols.cpp).
    std::string key(std::string_view name) const { return m_syms.key(name); }
    int findSymbol(std::string_view name) const { return m_syms.find(name); }
    int lookupOrCreate(std::string_view name) { return m_syms.lookupOrCreate(name); }
    bool defineSymbol(int idx, SymKind kind, bool redefinable = false);
    bool isReserved(std::string_view name) const { return SymbolTable::isReserved(name); }
    std::string displayName(std::string_view name) const { return m_syms.displayName(name); }

    // Emission (emit.cpp).
    bool needSegment();
    void emitByte(std::uint8_t b);
    void emitWord(std::uint16_t w);
    void emitBytes(const std::vector<std::uint8_t>& b);
    void reserve(std::uint32_t n);
    void addFixup(FixKind kind, const Value& v, std::uint32_t at);
    void emitValue(const Value& v, int size);  // a data item with its relocation
    void emitValueBytes(const Value& v, int size);
    std::int32_t here() const;
    int curSeg() const { return m_curSeg; }
    // Segments, groups and externals are numbered alike in every pass, but a forward reference can
    // name one that this pass has not created yet.
    bool segExists(int s) const { return s >= 0 && s < static_cast<int>(m_segs.size()); }
    bool groupExists(int g) const { return g >= 0 && g < static_cast<int>(m_groups.size()); }

    // State shared with the directive, data and instruction parts.
    SymbolTable m_syms;
    std::unordered_map<std::string, Macro, NameHash, NameEq> m_macros;  // by SymbolTable::key
    std::vector<Segment> m_segs;
    std::vector<Group> m_groups;
    std::vector<Extern> m_exts;
    int m_assume[4] = {-1, -1, -1, -1};  // ES CS SS DS: symbol index of segment or group, -1 nothing
    int m_curSeg = -1;
    std::vector<int> m_segStack;
    std::vector<int> m_procStack;
    int m_cpu = 0;          // 0 8086, 1 80186, 2 80286
    bool m_fpu = false;
    int m_radix = 10;
    int m_pass = 0;
    bool m_finalPass = false;
    bool m_changed = false;  // a symbol moved this pass: another pass is needed
    int m_model = 0;         // 0 none, 1 tiny, 2 small, 3 compact, 4 medium, 5 large, 6 huge
    bool m_dosseg = false;
    int m_startSym = -1;
    Value m_start;
    bool m_hasStart = false;
    bool m_ended = false;
    int m_strucOpen = -1;     // structure being defined
    std::int32_t m_strucOffset = 0;
    std::vector<std::uint8_t> m_jmpLong;  // per jump instruction: needs the long form
    size_t m_jmpIndex = 0;
    std::vector<std::pair<int, std::string>> m_jmpErrors;

    // Diagnostics and listing of the current pass.
    Diagnostics m_diags;
    std::vector<ListLine> m_list;
    std::vector<std::string> m_outMessages;
    std::string m_title, m_subttl;
    int m_listNo = 0;

private:
    void runPass(const std::string& fileName, const std::string& source);
    void resetPass();
    bool nextLine(std::string& line);
    void processLine(const std::string& line);
    void listLine(const std::string& line, std::uint32_t startLc, int startSeg, size_t diagStart,
                  size_t fixStart);
    AssemblyResult finish();
    std::vector<std::uint8_t> buildObject() const;
    void checkPublics();
    void recordLine(int startSeg, std::uint32_t startLc);

public:
    std::string buildListing(const std::string& header) const;
    void symbolTable(std::string& out, int& page, const std::string& header) const;

private:

public:
    // Statement parts (statement.cpp, directives.cpp, data.cpp, instr.cpp, macro.cpp).
    void statement(const std::string& line, std::vector<Token>& toks);
    bool directive(std::string_view name, int labelSym, const std::vector<Token>& toks, size_t pos,
                   const std::string& line);
    void defineLabel(int sym, int type);
    void dataDirective(int size, int labelSym, const std::vector<Token>& toks, size_t pos,
                       const std::string& line);
    void instruction(const std::vector<Token>& toks, size_t pos);
    bool jumpOperand(std::string_view mnem, Value& v, x86::Operand& op);
    bool toOperand(std::string_view mnem, Value& v, x86::Operand& op);
    void reportEncodeError(std::string_view mnem, const x86::EncodeResult& r, const std::vector<InstrOperand>& ops);
    void emitEncoded(const x86::EncodeResult& r, const std::vector<InstrOperand>& ops);
    // Listing text of the object-code column.
    void emitListedByte(std::uint8_t b);
    void listField(std::uint32_t value, int width, bool reloc, bool segment);
    void listText(const std::string& text);
    std::string m_lineCode;
    std::vector<Token> m_tokBuf;  // reused from line to line
    std::vector<InstrOperand> m_opsBuf;  // reused from instruction to instruction
    bool m_lineLabel = false;
    bool m_lineInstr = false;  // the line assembled an instruction (line numbers cover code only)
    int m_listMute = 0;
    bool expandMacro(const Macro& m, const std::string& line, size_t argStart);
    void beginRepeat(std::string_view kind, const std::vector<Token>& toks, size_t pos, const std::string& line);
    void callDirective(const struct DirectiveInfo& d, std::string_view word, int sym, const std::vector<Token>& toks,
                       size_t pos, const std::string& line);
    void conditionalWhileSkipping(const std::vector<Token>& toks);
    void strucField(std::string_view name, int size, const std::vector<Token>& toks, size_t pos,
                    const std::string& line);
    void structVariable(int sym, int type, const std::vector<Token>& toks, size_t pos);
    int m_exprNesting = 0;  // levels of the expression being evaluated
    int m_lastErrorCol = -1;
    bool m_singleLine = false;
    void predefine();
    std::string m_date, m_time;
    unsigned m_localCounter = 0;
    void pushFrame(Frame f);
    void popFrame();
    bool includeFile(const std::string& name);
    int openSegment(const std::string& name, bool create);
    void simplifiedSegment(std::string_view which);
    void closeOpenBlocks();
    std::string sourceText(const std::string& line, const std::vector<Token>& toks, size_t from) const;

    // Line sources.
    std::vector<Frame> m_frames;
    std::map<std::string, std::shared_ptr<const std::vector<std::string>>> m_fileCache;
    std::string m_mainFile;
    int m_expansions = 0;

    // Conditional assembly.
    struct Cond {
        bool active;   // this branch is being assembled
        bool taken;    // some branch of this IF was taken
        bool parentActive;
        bool sawElse;
    };
    std::vector<Cond> m_conds;
    bool condActive() const { return m_conds.empty() || m_conds.back().active; }

    // Macro and repeat-block definitions being collected.
    struct Collect {
        bool active = false;
        int depth = 0;
        std::string kind;  // MACRO REPT IRP IRPC
        Macro macro;
        std::vector<std::string> args;  // IRP/IRPC items, REPT count as text
        int count = 0;
    } m_collect;
    void finishCollect(Collect& c);
    char m_commentDelim = 0;
    bool m_listSuppressed = false;
    bool m_listOff = false;   // .XLIST / %NOLIST in force
    bool m_lineListsOffset = false;  // the line shows the location counter even without code (.MODEL)
    bool m_jumps = false;     // JUMPS: far conditional jumps become the inverse jump over a JMP
    void pass1Error();
    Diagnostic located(const std::string& msg, Severity severity) const;  // at the line being read
    // Symbols the current line names (for the cross reference), with whether it defines them.
    std::vector<std::pair<int, bool>> m_lineRefs;
    // Cross reference of the pass, by symbol (kept apart from the symbols, which most runs do not
    // need it for): listing lines that name the symbol, in order, `true` where the line defines it.
    using CrossRefs = std::vector<std::pair<int, bool>>;
    std::vector<CrossRefs> m_crossRefs;
    void noteRef(int sym, bool defines = false) {
        if (m_opts.crossRef && m_opts.listing && sym >= 0) m_lineRefs.emplace_back(sym, defines);
    }
    bool longConditionalJump(const std::string& mnem, const InstrOperand& o);
    bool m_lineEmitted = false;
    int m_exitm = 0;

private:
    Options m_opts;
    FileReader m_reader;
};

}  // namespace krvs::tasm
