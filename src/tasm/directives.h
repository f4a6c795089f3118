#pragma once
// Directives are dispatched through one table; each handler gets the statement's tokens and the
// symbol of the name in front of it (when the directive takes one).

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lexer.h"

namespace krvs::tasm {

class DirContext;

enum class NameUse : unsigned char { None, Optional, Required };

struct DirArgs {
    std::string_view word;           // the directive as written
    int sym = -1;                    // the name in front of it
    const std::vector<Token>& toks;
    size_t pos;                      // first token after the directive
    const std::string& line;
};

using DirHandler = void (*)(DirContext&, const DirArgs&);

struct DirectiveInfo {
    const char* name;
    DirHandler handler;
    NameUse takesName = NameUse::None;
    bool isData = false;
    int dataSize = 0;
    bool conditional = false;
};

// Every directive, and the one that `word` names (in any case) or null.
std::span<const DirectiveInfo> directiveTable();
const DirectiveInfo* findDirective(std::string_view word);

// Handlers, by area.
void dirSegment(DirContext&, const DirArgs&);
void dirEnds(DirContext&, const DirArgs&);
void dirGroup(DirContext&, const DirArgs&);
void dirAssume(DirContext&, const DirArgs&);
void dirOrg(DirContext&, const DirArgs&);
void dirEven(DirContext&, const DirArgs&);
void dirAlign(DirContext&, const DirArgs&);
void dirEnd(DirContext&, const DirArgs&);
void dirModel(DirContext&, const DirArgs&);
void dirSimplified(DirContext&, const DirArgs&);
void dirStack(DirContext&, const DirArgs&);
void dirDosseg(DirContext&, const DirArgs&);
void dirCpu(DirContext&, const DirArgs&);
void dirCpuUnsupported(DirContext&, const DirArgs&);
void dirRadix(DirContext&, const DirArgs&);

void dirData(DirContext&, const DirArgs&);
void dirLabel(DirContext&, const DirArgs&);
void dirEqu(DirContext&, const DirArgs&);
void dirAssign(DirContext&, const DirArgs&);
void dirStruc(DirContext&, const DirArgs&);
void dirRecord(DirContext&, const DirArgs&);
void dirProc(DirContext&, const DirArgs&);
void dirEndp(DirContext&, const DirArgs&);
void dirPublic(DirContext&, const DirArgs&);
void dirExtrn(DirContext&, const DirArgs&);

void dirMacro(DirContext&, const DirArgs&);
void dirRepeat(DirContext&, const DirArgs&);
void dirExitm(DirContext&, const DirArgs&);
void dirEndm(DirContext&, const DirArgs&);
void dirLocal(DirContext&, const DirArgs&);
void dirPurge(DirContext&, const DirArgs&);
void dirIf(DirContext&, const DirArgs&);
void dirElse(DirContext&, const DirArgs&);
void dirEndif(DirContext&, const DirArgs&);
void dirInclude(DirContext&, const DirArgs&);
void dirOut(DirContext&, const DirArgs&);
void dirTitle(DirContext&, const DirArgs&);
void dirComment(DirContext&, const DirArgs&);
void dirListing(DirContext&, const DirArgs&);
void dirJumps(DirContext&, const DirArgs&);
void dirIgnore(DirContext&, const DirArgs&);
void dirErr(DirContext&, const DirArgs&);
void dirUnsupported(DirContext&, const DirArgs&);

}  // namespace krvs::tasm
