#pragma once
// The CPU's dispatch, derived from the instruction table. Each handler is registered once, against the
// opcode and mnemonic of a form in the table; which model runs which opcode comes from the forms alone
// (Form::availableOn), so the CPU, the encoder and the decoder cannot disagree about what exists.
// Building the dispatch checks that each opcode a model has is run by exactly one handler and that each
// handler runs a form: a second binding for an opcode is an error, never an overwrite.

#include "cpu_decoded.h"
#include "cpu_exec.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace krvs::x86::interp {

struct Binding {
    std::uint16_t opcode;       // one byte, or 0x0Fxx for the map after 0Fh
    std::string_view mnemonic;  // a form at that opcode; the handler runs every form at the opcode
    Handler handler;            // the handler every opcode has
    FastHandler fast = nullptr;  // or, instead, the same instruction with IP kept in a register
    DecodedFn cached = nullptr;  // with `fast`: the fast handler as a decoded entry of the opcode byte alone
    Decoder decode = nullptr;    // with `fast`, optional: decodes the instruction's operands into an entry
    bool jumps = false;          // with `decode`: its entries may go elsewhere than the next instruction
};

class Binder {
public:
    void bind(std::uint16_t opcode, std::string_view mnemonic, Handler handler) {
        m_bindings.push_back({opcode, mnemonic, handler});
    }
    // An instruction written once as a FastHandler, bound both ways: the run loop prefers the fast
    // one (one-byte opcodes only); prefixes and the paths that keep IP in Registers use the plain one.
    // The run loop keeps the instructions it meets decoded (cpu_decoded.h): by `Decode` when given, else
    // as the fast handler behind the opcode byte.
    template <FastHandler F, Decoder Decode = nullptr>
    void bindBoth(std::uint16_t opcode, std::string_view mnemonic) {
        bind(opcode, mnemonic, viaRegisters<F>);
        m_bindings.push_back({opcode, mnemonic, nullptr, F, fromFast<F>, Decode});
    }
    // The same for a jump, call or loop: its decoded entries end a block (cpu_decoded.h), as the run
    // loop cannot know where the next instruction is.
    template <FastHandler F, Decoder Decode>
    void bindJump(std::uint16_t opcode, std::string_view mnemonic) {
        bind(opcode, mnemonic, viaRegisters<F>);
        m_bindings.push_back({opcode, mnemonic, nullptr, F, fromFast<F>, Decode, true});
    }
    std::vector<Binding> take() { return std::move(m_bindings); }

private:
    std::vector<Binding> m_bindings;
};

struct Dispatch {
    Handler one[256];      // by the first opcode byte
    Handler two[256];      // by the byte after 0Fh
    FastHandler fast[256];  // by the first opcode byte when not null, preferred to `one`
    DecodedFn cached[256];  // where `fast` is set: that handler as a decoded entry
    Decoder decode[256];    // where `fast` is set, optionally: the decoder of the opcode's instructions
    bool continues[256];    // where `decode` is set: its entries always go on at the next instruction
};

// What an entry leaves to the one after it.
enum class EntryFlow : std::uint8_t {
    kNotKept,    // no entry: the opcode has no fast handler, and the loop runs it the plain way
    kEnds,       // the next instruction may be anywhere (a jump, or the fast handler behind the opcode byte)
    kContinues,  // always the instruction right after it, e.len bytes on
};

// Decodes the instruction whose bytes start at the low byte of `raw` into `e` with the model's dispatch
// (leaving `e` alone when it is not kept).
EntryFlow decodeEntry(const Dispatch& d, Decoded& e, std::uint64_t raw);

constexpr int kModelCount = 3;

struct DispatchSet {
    Dispatch model[kModelCount];  // indexed by CpuModel
};

// Every handler of the CPU, as its files register them.
std::vector<Binding> allBindings();

// Fills the dispatch of every model from the instruction table and `bindings`; an opcode without a
// form on a model raises the invalid-opcode interrupt there. Returns the problems found (an opcode of
// a form without a handler, an opcode bound twice, a binding that names no form, a fast handler for
// the map after 0Fh), empty when sound.
std::vector<std::string> buildDispatch(std::span<const Binding> bindings, DispatchSet& out);

// The model's dispatch, built once from allBindings(). A registration with problems is a fault in
// this program: it is reported on stderr and the process stops at the first use of the CPU.
const Dispatch& dispatchFor(CpuModel model);

}  // namespace krvs::x86::interp
