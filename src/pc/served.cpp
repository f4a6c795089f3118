#include "pc/served.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "services.h"

namespace krvs::pc {

namespace {

// The BIOS dispatches INT 16h and 1Ah by switch, so the served set is read by asking: each function
// runs on a scratch machine, and one the BIOS does not have leaves the note "not supported" (other
// notes, such as a video mode that is not available, come from functions it has). No BIOS function
// touches host files, and one that would wait for a key returns instead (the machine has no input).
void probeBios(std::uint8_t vector, ServiceFn service, std::vector<ServedFunction>& out) {
    std::unique_ptr<Machine> machine;
    for (int ah = 0; ah < 256; ++ah) {
        // Notes are capped and never cleared: a fresh machine before the cap is reached.
        if (!machine || machine->notes().size() >= 60) machine = std::make_unique<Machine>(MachineConfig{});
        machine->regs().gp[x86::AX] = static_cast<std::uint16_t>(ah << 8);
        Services services(*machine);
        service(services);
        char refused[64];
        std::snprintf(refused, sizeof refused, "INT %02Xh function %02Xh is not supported", vector, ah);
        const auto& notes = machine->notes();
        if (std::find(notes.begin(), notes.end(), std::string(refused)) == notes.end())
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
