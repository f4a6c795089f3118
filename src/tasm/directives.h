#pragma once
// Directives are dispatched through one table; each handler gets the statement's tokens and the
// symbol of the name in front of it (when the directive takes one).

#include <string>
#include <string_view>
#include <vector>

#include "lexer.h"

namespace krvs::tasm {

class Assembler;

enum class NameUse : unsigned char { None, Optional, Required };

struct DirArgs {
    std::string_view word;           // the directive as written
    int sym = -1;                    // the name in front of it
    const std::vector<Token>& toks;
    size_t pos;                      // first token after the directive
    const std::string& line;
};

using DirHandler = void (*)(Assembler&, const DirArgs&);

struct DirectiveInfo {
    const char* name;
    DirHandler handler;
    NameUse takesName = NameUse::None;
    bool isData = false;
    int dataSize = 0;
    bool conditional = false;
};

const DirectiveInfo* findDirective(std::string_view word);

// Handlers, by area.
void dirSegment(Assembler&, const DirArgs&);
void dirEnds(Assembler&, const DirArgs&);
void dirGroup(Assembler&, const DirArgs&);
void dirAssume(Assembler&, const DirArgs&);
void dirOrg(Assembler&, const DirArgs&);
void dirEven(Assembler&, const DirArgs&);
void dirAlign(Assembler&, const DirArgs&);
void dirEnd(Assembler&, const DirArgs&);
void dirModel(Assembler&, const DirArgs&);
void dirSimplified(Assembler&, const DirArgs&);
void dirStack(Assembler&, const DirArgs&);
void dirDosseg(Assembler&, const DirArgs&);
void dirCpu(Assembler&, const DirArgs&);
void dirCpuUnsupported(Assembler&, const DirArgs&);
void dirRadix(Assembler&, const DirArgs&);

void dirData(Assembler&, const DirArgs&);
void dirLabel(Assembler&, const DirArgs&);
void dirEqu(Assembler&, const DirArgs&);
void dirAssign(Assembler&, const DirArgs&);
void dirStruc(Assembler&, const DirArgs&);
void dirRecord(Assembler&, const DirArgs&);
void dirProc(Assembler&, const DirArgs&);
void dirEndp(Assembler&, const DirArgs&);
void dirPublic(Assembler&, const DirArgs&);
void dirExtrn(Assembler&, const DirArgs&);

void dirMacro(Assembler&, const DirArgs&);
void dirRepeat(Assembler&, const DirArgs&);
void dirExitm(Assembler&, const DirArgs&);
void dirEndm(Assembler&, const DirArgs&);
void dirLocal(Assembler&, const DirArgs&);
void dirPurge(Assembler&, const DirArgs&);
void dirIf(Assembler&, const DirArgs&);
void dirElse(Assembler&, const DirArgs&);
void dirEndif(Assembler&, const DirArgs&);
void dirInclude(Assembler&, const DirArgs&);
void dirOut(Assembler&, const DirArgs&);
void dirTitle(Assembler&, const DirArgs&);
void dirComment(Assembler&, const DirArgs&);
void dirListing(Assembler&, const DirArgs&);
void dirJumps(Assembler&, const DirArgs&);
void dirIgnore(Assembler&, const DirArgs&);
void dirErr(Assembler&, const DirArgs&);
void dirUnsupported(Assembler&, const DirArgs&);

}  // namespace krvs::tasm
