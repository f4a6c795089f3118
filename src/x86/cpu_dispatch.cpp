// Builds the per-model dispatch from the instruction table and the registered handlers.

#include "cpu_dispatch.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "x86/table.h"

namespace krvs::x86::interp {
namespace {

const char* modelName(CpuModel m) {
    switch (m) {
    case CpuModel::I8086: return "8086";
    case CpuModel::I80186: return "80186";
    case CpuModel::I80286: return "80286";
    }
    return "?";
}

std::string hex(unsigned key) {
    char buf[8];
    std::snprintf(buf, sizeof buf, key > 0xFF ? "%04Xh" : "%02Xh", key);
    return buf;
}

// 0Fh on a model with two-byte opcodes: the next byte picks the handler.
void twoByteEscape(Exec& x) { x.twoByte[fetch8(x)](x); }

// The forms of one model per opcode map and byte.
struct FormsBySlot {
    std::vector<const Form*> slot[2][256];

    explicit FormsBySlot(CpuModel model) {
        for (const Form& f : instructionTable()) {
            if (!f.availableOn(model)) continue;
            const OpcodeBytes bytes = opcodeBytes(f);
            for (int i = 0; i < bytes.count; ++i) slot[f.twoByteOpcode() ? 1 : 0][bytes.byte[i]].push_back(&f);
        }
    }
};

bool namesAForm(const std::vector<const Form*>& forms, std::string_view mnemonic) {
    return std::any_of(forms.begin(), forms.end(), [&](const Form* f) { return f->mnemonic == mnemonic; });
}

// The bindings per opcode map and byte, so that each slot looks only at its own.
struct BindingsBySlot {
    std::vector<std::size_t> slot[2][256];

    explicit BindingsBySlot(std::span<const Binding> bindings) {
        for (std::size_t i = 0; i < bindings.size(); ++i) {
            const unsigned key = bindings[i].opcode;
            if (key <= 0xFF) slot[0][key].push_back(i);
            else if ((key & 0xFF00) == 0x0F00) slot[1][key & 0xFF].push_back(i);
            // any other value names no opcode; it stays unused and is reported
        }
    }
};

// Fills one model's maps; marks the bindings it used.
void fillModel(std::span<const Binding> bindings, const BindingsBySlot& bySlot, CpuModel model, Dispatch& d,
               std::vector<bool>& used, std::vector<std::string>& problems) {
    std::fill(std::begin(d.one), std::end(d.one), invalidOpcode);
    std::fill(std::begin(d.two), std::end(d.two), invalidOpcode);
    std::fill(std::begin(d.fast), std::end(d.fast), nullptr);
    std::fill(std::begin(d.cached), std::end(d.cached), nullptr);
    std::fill(std::begin(d.decode), std::end(d.decode), nullptr);
    std::fill(std::begin(d.continues), std::end(d.continues), false);
    const FormsBySlot forms(model);
    bool anyTwoByte = false;
    for (int map = 0; map < 2; ++map) {
        for (unsigned b = 0; b < 256; ++b) {
            const auto& here = forms.slot[map][b];
            if (here.empty()) continue;
            anyTwoByte |= map == 1;
            const unsigned key = map == 1 ? 0x0F00 | b : b;
            const Binding* found = nullptr;
            const Binding* fast = nullptr;
            for (std::size_t i : bySlot.slot[map][b]) {
                const Binding& bd = bindings[i];
                if (!namesAForm(here, bd.mnemonic)) continue;
                used[i] = true;
                const Binding*& same = bd.fast ? fast : found;
                if (same) {
                    problems.push_back("opcode " + hex(key) + " bound twice on the " + modelName(model) + ": " +
                                       std::string(same->mnemonic) + " and " + std::string(bd.mnemonic));
                }
                same = &bd;
            }
            if (!found) {
                problems.push_back("no handler for opcode " + hex(key) + " (" + std::string(here.front()->mnemonic) +
                                   ") on the " + modelName(model));
                continue;
            }
            (map == 1 ? d.two : d.one)[b] = found->handler;
            if (fast && map == 1) {
                problems.push_back("a fast handler for " + hex(key) + ": only one-byte opcodes have them");
            } else if (fast) {
                d.fast[b] = fast->fast;
                d.cached[b] = fast->cached;
                d.decode[b] = fast->decode;
                d.continues[b] = fast->decode && !fast->jumps;
            }
        }
    }
    if (anyTwoByte) {
        if (!forms.slot[0][0x0F].empty()) {
            problems.push_back(std::string("0Fh is both an instruction and the two-byte escape on the ") + modelName(model));
        }
        d.one[0x0F] = twoByteEscape;
    }
}

}  // namespace

EntryFlow decodeEntry(const Dispatch& d, Decoded& e, std::uint64_t raw) {
    const std::uint8_t opcode = byteAt(raw, 0);
    if (!d.cached[opcode]) return EntryFlow::kNotKept;
    Decoded n;
    const Decoder decode = d.decode[opcode];
    EntryFlow flow = d.continues[opcode] ? EntryFlow::kContinues : EntryFlow::kEnds;
    if (!decode || !decode(n, raw)) {
        // The fast handler reads the rest of the instruction itself, so its length is not known here.
        n = Decoded{};
        n.fn = d.cached[opcode];
        n.len = 1;
        flow = EntryFlow::kEnds;
    }
    n.mask = ~std::uint64_t{0} >> (64 - 8 * n.len);
    n.bytes = raw & n.mask;
    e = n;
    return flow;
}

std::vector<Binding> allBindings() {
    Binder b;
    bindAluHandlers(b);
    bindMoveHandlers(b);
    bindStackHandlers(b);
    bindBcdHandlers(b);
    bindShiftHandlers(b);
    bindMulDivHandlers(b);
    bindGroupHandlers(b);
    bindStringHandlers(b);
    bindControlHandlers(b);
    bindPrefixHandlers(b);
    bindMiscHandlers(b);
    bind186Handlers(b);
    return b.take();
}

std::vector<std::string> buildDispatch(std::span<const Binding> bindings, DispatchSet& out) {
    std::vector<std::string> problems;
    std::vector<bool> used(bindings.size(), false);
    const BindingsBySlot bySlot(bindings);
    for (int m = 0; m < kModelCount; ++m) {
        fillModel(bindings, bySlot, static_cast<CpuModel>(m), out.model[m], used, problems);
    }
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        if (!used[i]) {
            problems.push_back("the handler bound to " + hex(bindings[i].opcode) + " " + std::string(bindings[i].mnemonic) +
                               " runs no form of the table");
        }
    }
    return problems;
}

const Dispatch& dispatchFor(CpuModel model) {
    static const DispatchSet set = [] {
        DispatchSet s{};
        const std::vector<Binding> bindings = allBindings();
        const std::vector<std::string> problems = buildDispatch(bindings, s);
        if (!problems.empty()) {
            for (const std::string& p : problems) std::fprintf(stderr, "x86 dispatch: %s\n", p.c_str());
            std::abort();
        }
        return s;
    }();
    return set.model[static_cast<int>(model)];
}

}  // namespace krvs::x86::interp
