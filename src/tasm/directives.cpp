#include "directives.h"

#include "context.h"
#include "keywords.h"

namespace krvs::tasm {

namespace {

constexpr NameUse kNo = NameUse::None, kOpt = NameUse::Optional, kReq = NameUse::Required;

const DirectiveInfo kDirectives[] = {
    {"SEGMENT", dirSegment, kReq}, {"ENDS", dirEnds, kOpt}, {"GROUP", dirGroup, kReq},
    {"ASSUME", dirAssume}, {"ORG", dirOrg}, {"EVEN", dirEven}, {"ALIGN", dirAlign}, {"END", dirEnd},
    {".MODEL", dirModel}, {".CODE", dirSimplified}, {".DATA", dirSimplified}, {".DATA?", dirSimplified},
    {".CONST", dirSimplified}, {".FARDATA", dirSimplified}, {".FARDATA?", dirSimplified},
    {".STACK", dirStack}, {"DOSSEG", dirDosseg}, {".DOSSEG", dirDosseg}, {".ALPHA", dirIgnore},
    {".SEQ", dirIgnore},
    {".8086", dirCpu}, {".186", dirCpu}, {".286", dirCpu}, {".286C", dirCpu}, {".286P", dirCpu},
    {".287", dirCpu}, {".8087", dirCpu}, {"P8086", dirCpu}, {"P186", dirCpu}, {"P286", dirCpu},
    {"P286N", dirCpu}, {"P286P", dirCpu}, {"P287", dirCpu}, {"P8087", dirCpu},
    {".386", dirCpuUnsupported}, {".386P", dirCpuUnsupported}, {".386C", dirCpuUnsupported},
    {".387", dirCpuUnsupported}, {"P386", dirCpuUnsupported}, {"P386N", dirCpuUnsupported},
    {"P386P", dirCpuUnsupported}, {"P387", dirCpuUnsupported}, {".486", dirCpuUnsupported},
    {".486P", dirCpuUnsupported}, {"P486", dirCpuUnsupported}, {"P486N", dirCpuUnsupported},
    {".RADIX", dirRadix},
    {"DB", dirData, kOpt, true, 1}, {"DW", dirData, kOpt, true, 2}, {"DD", dirData, kOpt, true, 4},
    {"DF", dirData, kOpt, true, 6}, {"DP", dirData, kOpt, true, 6}, {"DQ", dirData, kOpt, true, 8},
    {"DT", dirData, kOpt, true, 10},
    {"LABEL", dirLabel, kReq}, {"EQU", dirEqu, kReq}, {"=", dirAssign, kReq},
    {"STRUC", dirStruc, kReq}, {"STRUCT", dirStruc, kReq}, {"RECORD", dirRecord, kReq},
    {"PROC", dirProc, kReq}, {"ENDP", dirEndp, kReq}, {"PUBLIC", dirPublic}, {"EXTRN", dirExtrn},
    {"EXTERN", dirExtrn}, {"GLOBAL", dirPublic},
    {"MACRO", dirMacro, kReq}, {"REPT", dirRepeat}, {"REPEAT", dirRepeat}, {"IRP", dirRepeat},
    {"IRPC", dirRepeat}, {"FOR", dirRepeat}, {"FORC", dirRepeat}, {"EXITM", dirExitm}, {"ENDM", dirEndm},
    {"LOCAL", dirLocal}, {"PURGE", dirPurge},
    {"IF", dirIf, kNo, false, 0, true}, {"IFE", dirIf, kNo, false, 0, true},
    {"IFDEF", dirIf, kNo, false, 0, true}, {"IFNDEF", dirIf, kNo, false, 0, true},
    {"IFB", dirIf, kNo, false, 0, true}, {"IFNB", dirIf, kNo, false, 0, true},
    {"IFIDN", dirIf, kNo, false, 0, true}, {"IFIDNI", dirIf, kNo, false, 0, true},
    {"IFDIF", dirIf, kNo, false, 0, true}, {"IFDIFI", dirIf, kNo, false, 0, true},
    {"IF1", dirIf, kNo, false, 0, true}, {"IF2", dirIf, kNo, false, 0, true},
    {"ELSE", dirElse, kNo, false, 0, true}, {"ELSEIF", dirElse, kNo, false, 0, true},
    {"ELSEIFE", dirElse, kNo, false, 0, true}, {"ELSEIFDEF", dirElse, kNo, false, 0, true},
    {"ELSEIFNDEF", dirElse, kNo, false, 0, true}, {"ELSEIFB", dirElse, kNo, false, 0, true},
    {"ELSEIFNB", dirElse, kNo, false, 0, true}, {"ELSEIFIDN", dirElse, kNo, false, 0, true},
    {"ELSEIFDIF", dirElse, kNo, false, 0, true},
    {"ENDIF", dirEndif, kNo, false, 0, true},
    {"INCLUDE", dirInclude}, {"%OUT", dirOut}, {"TITLE", dirTitle}, {"SUBTTL", dirTitle},
    {"PAGE", dirIgnore}, {"COMMENT", dirComment}, {"NAME", dirIgnore}, {".LIST", dirListing},
    {".XLIST", dirListing}, {".LALL", dirIgnore}, {".SALL", dirIgnore}, {".XALL", dirIgnore},
    {".CREF", dirIgnore}, {".XCREF", dirIgnore}, {".SFCOND", dirIgnore}, {".LFCOND", dirIgnore},
    {".TFCOND", dirIgnore}, {"%LIST", dirListing}, {"%NOLIST", dirListing}, {"MASM", dirIgnore},
    {"MASM51", dirIgnore}, {"JUMPS", dirJumps}, {"NOJUMPS", dirJumps}, {"LOCALS", dirIgnore},
    {"NOLOCALS", dirIgnore}, {"SMART", dirIgnore}, {"NOSMART", dirIgnore}, {".MSFLOAT", dirIgnore},
    {".ERR", dirErr}, {".ERRE", dirErr}, {".ERRNZ", dirErr}, {".ERRB", dirErr}, {".ERRNB", dirErr},
    {".ERRDEF", dirErr}, {".ERRNDEF", dirErr}, {".ERR1", dirErr}, {".ERR2", dirErr},
    {"IDEAL", dirUnsupported},
};

}  // namespace

std::span<const DirectiveInfo> directiveTable() { return kDirectives; }

const DirectiveInfo* findDirective(std::string_view word) { return keywordOf(word).directive; }

void Assembler::callDirective(const DirectiveInfo& d, std::string_view word, int sym, const std::vector<Token>& toks,
                              size_t pos, const std::string& line) {
    DirArgs a{word, sym, toks, pos, line};
    DirContext context(*this);
    d.handler(context, a);
}

void dirIgnore(DirContext&, const DirArgs&) {}

void dirUnsupported(DirContext& a, const DirArgs& d) {
    a.error("Illegal instruction for currently selected processor(s)");
    (void)d;
}

void dirTitle(DirContext& a, const DirArgs& d) {
    std::string text = a.sourceText(d.line, d.toks, d.pos);
    if (iequals(d.word, "TITLE")) a.listing().setTitle(std::move(text));
    else a.listing().setSubtitle(std::move(text));
}

void dirOut(DirContext& a, const DirArgs& d) {
    if (a.finalPass()) a.module().outMessages.push_back(a.sourceText(d.line, d.toks, d.pos));
}

// .XLIST and %NOLIST stop the listing (their own line included), .LIST and %LIST start it again.
// Lines with a diagnostic are listed all the same.
void dirListing(DirContext& a, const DirArgs& d) {
    a.listing().setOff(iequals(d.word, ".XLIST") || iequals(d.word, "%NOLIST"));
}

void dirJumps(DirContext& a, const DirArgs& d) { a.module().jumps = iequals(d.word, "JUMPS"); }

void dirComment(DirContext& a, const DirArgs& d) {
    if (d.pos >= d.toks.size()) {
        a.error("Need expression");
        return;
    }
    // The delimiter is the first non-blank character after COMMENT; the block ends on the line that
    // holds it again.
    size_t at = static_cast<size_t>(d.toks[d.pos].col);
    char delim = d.line[at];
    if (d.line.find(delim, at + 1) == std::string::npos) a.sources().setCommentDelimiter(delim);
}

void dirErr(DirContext& a, const DirArgs& d) {
    std::string w = upper(d.word);
    if (w == ".ERR1") {
        a.pass1Error();
        return;
    }
    // Every pass from the second may be the last; only the last one's diagnostics are reported.
    bool fire = w == ".ERR" || (w == ".ERR2" && a.pass() >= 2);
    if (w == ".ERRE" || w == ".ERRNZ") {
        size_t p = d.pos;
        std::int32_t v = 0;
        if (!a.evalConst(d.toks, p, v, false)) return;
        fire = w == ".ERRE" ? v == 0 : v != 0;
    } else if (w == ".ERRDEF" || w == ".ERRNDEF") {
        bool def = d.pos < d.toks.size() && a.findSymbol(d.toks[d.pos].text) >= 0 &&
                   a.syms()[a.findSymbol(d.toks[d.pos].text)].everDefined;
        fire = w == ".ERRDEF" ? def : !def;
    } else if (w == ".ERRB" || w == ".ERRNB") {
        bool blank = a.sourceText(d.line, d.toks, d.pos).find_first_not_of(" \t<>") == std::string::npos;
        fire = w == ".ERRB" ? blank : !blank;
    }
    if (fire) a.error("User error");
}

// .ERR1: only the last pass's diagnostics are reported, so the first pass's error is kept and shown
// again where a later pass reads the same line.
void Assembler::pass1Error() {
    Diagnostic d = located("User error", Severity::Error);
    if (m_pass == 1) {
        m_diags.keep(d);
        m_diags.add(std::move(d));
        return;
    }
    m_diags.showKeptAt(d);
}

std::string Assembler::sourceText(const std::string& line, const std::vector<Token>& toks, size_t from) const {
    if (from >= toks.size()) return {};
    size_t start = static_cast<size_t>(toks[from].col);
    size_t end = commentStart(line);
    if (end == std::string::npos || end < start) end = line.size();
    std::string s = line.substr(start, end - start);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

}  // namespace krvs::tasm
