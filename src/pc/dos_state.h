#pragma once
// Private to the pc library: what DOS keeps outside the program's memory.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "pc/machine.h"

namespace krvs::pc {

struct DosState {
    enum class Kind : std::uint8_t { Console, Null, Aux, Printer, File };
    struct OpenFile {
        Kind kind = Kind::File;
        std::shared_ptr<DriveFile> file;  // for Kind::File; closed when the last handle to it is
        std::uint8_t mode = 2;  // 0 read, 1 write, 2 read/write
        int refs = 1;
        bool written = false;
        std::uint16_t deviceInfo = 0;
    };
    // A program started by krvscmd or by another program's EXEC. The vector table is kept from its start so
    // that vectors left pointing into memory it gave back can be put right when it ends.
    struct Process {
        std::uint16_t psp = 0;
        std::array<std::uint8_t, 1024> vectors{};
        x86::Registers caller{};  // the parent inside its EXEC call; unused for the first program
        std::uint16_t callerDtaSegment = 0, callerDtaOffset = 0;
    };
    static constexpr int kMaxFiles = 40;
    static constexpr int kJftSize = 20;
    static constexpr std::uint16_t kJftOffset = 0x18;

    std::vector<std::optional<OpenFile>> files = std::vector<std::optional<OpenFile>>(kMaxFiles);
    std::uint16_t dtaSegment = 0, dtaOffset = 0x80;
    std::vector<Process> processes;  // the running program and the parents waiting in EXEC, innermost last
    std::uint16_t lastReturn = 0;  // AH = how the last program ended, AL = its code (function 4Dh)
    // A line being typed for function 0Ah or a console read: it survives the waits between keys.
    bool lineActive = false;
    std::string line;
    std::string pendingConsoleBytes;  // the rest of a console line that a read did not take yet
    std::unordered_map<std::uint16_t, std::vector<Drive::Entry>> searches;
    std::uint16_t nextSearch = 1;
    std::vector<Drive::Entry> fcbSearch;  // what FCB find-next has still to hand out
    std::optional<std::uint8_t> pendingScan;  // an extended key's scan code, due on the next read
    bool flushed = false;                     // function 0Ch has flushed and now waits
    bool breakCheck = false;
    bool verify = false;

    ~DosState();
};

}  // namespace krvs::pc
