#include "pc/served.h"

#include <memory>

#include "services.h"

namespace krvs::pc {

namespace {

// The BIOS dispatches INT 16h and 1Ah by switch, so the served set is read by asking: each function
// runs on a scratch machine, and one the BIOS does not have leaves a note. No BIOS function touches
// host files, and one that would wait for a key returns instead (the machine has no input).
void probeBios(std::uint8_t vector, ServiceFn service, std::vector<ServedFunction>& out) {
    std::unique_ptr<Machine> machine;
    for (int ah = 0; ah < 256; ++ah) {
        // Notes are capped and never cleared: a fresh machine before the cap is reached.
        if (!machine || machine->notes().size() >= 60) machine = std::make_unique<Machine>(MachineConfig{});
        std::size_t notesBefore = machine->notes().size();
        machine->regs().gp[x86::AX] = static_cast<std::uint16_t>(ah << 8);
        service(*machine);
        if (machine->notes().size() == notesBefore)
            out.push_back({vector, static_cast<std::uint8_t>(ah)});
    }
}

}  // namespace

std::vector<ServedFunction> servedFunctions() {
    std::vector<ServedFunction> out;
    probeBios(0x10, bios::video, out);
    probeBios(0x16, bios::keyboard, out);
    probeBios(0x1A, bios::timeOfDay, out);
    for (int ah = 0; ah < 256; ++ah)
        if (dos::serves(static_cast<std::uint8_t>(ah))) out.push_back({0x21, static_cast<std::uint8_t>(ah)});
    return out;
}

}  // namespace krvs::pc
