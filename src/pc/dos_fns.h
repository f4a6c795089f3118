#pragma once
// Private to the pc library: the INT 21h functions, one small handler each, and what they share.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dos_state.h"
#include "services.h"

namespace krvs::pc::dos {

using x86::AX;
using x86::BX;
using x86::CX;
using x86::DX;
using x86::SI;
using x86::DI;
using x86::DS;
using x86::ES;

constexpr std::uint16_t kEndOfInput = 0xFFFD;  // standard input is a file and it has ended

// Character I/O (dos_char.cpp)
std::uint16_t readChar(Services& m);        // 01h
std::uint16_t writeChar(Services& m);       // 02h
std::uint16_t directConsole(Services& m);   // 06h
std::uint16_t readCharRaw(Services& m);     // 07h, 08h
std::uint16_t writeString(Services& m);     // 09h
std::uint16_t readLine(Services& m);        // 0Ah
std::uint16_t inputStatus(Services& m);     // 0Bh
std::uint16_t flushAndRead(Services& m);    // 0Ch
// A console read through a handle: one edited line, CR LF appended, handed out in pieces.
std::uint16_t readConsoleHandle(Services& m, std::uint8_t* out, std::uint16_t want, std::uint16_t& got);

// Handles and files (dos_file.cpp)
DosState::OpenFile* fileOf(Services& m, std::uint16_t handle);
std::uint16_t writeHandle(Services& m, std::uint16_t handle, const std::uint8_t* data, std::uint16_t size,
                          std::uint16_t& written);
std::uint16_t makeDirectory(Services& m);   // 39h
std::uint16_t removeDirectory(Services& m); // 3Ah
std::uint16_t changeDirectory(Services& m); // 3Bh
std::uint16_t create(Services& m);          // 3Ch
std::uint16_t open(Services& m);            // 3Dh
std::uint16_t createNew(Services& m);       // 5Bh
std::uint16_t commit(Services& m);          // 68h
std::uint16_t diskFree(Services& m);        // 36h
std::uint16_t close(Services& m);           // 3Eh
std::uint16_t read(Services& m);            // 3Fh
std::uint16_t write(Services& m);           // 40h
std::uint16_t remove(Services& m);          // 41h
std::uint16_t seek(Services& m);            // 42h
std::uint16_t attributes(Services& m);      // 43h
std::uint16_t ioctl(Services& m);           // 44h
std::uint16_t duplicate(Services& m);       // 45h
std::uint16_t forceDuplicate(Services& m);  // 46h
std::uint16_t currentDirectory(Services& m);// 47h
std::uint16_t findFirst(Services& m);       // 4Eh
std::uint16_t findNext(Services& m);        // 4Fh
std::uint16_t rename(Services& m);          // 56h
std::uint16_t fileTime(Services& m);        // 57h
void closeAll(Services& m);
// Sets up handles 0-4 in the program's PSP.
void openStandardHandles(Services& m, std::uint16_t psp);
// A child's handles are its parent's, each open file shared.
void inheritHandles(Services& m, std::uint16_t parent, std::uint16_t child);
// A DOS name as read from the program's memory.
std::string dosString(Services& m, std::uint16_t seg, std::uint16_t off);

// Processes (dos_process.cpp, loader.cpp)
struct ProcessImage {
    const std::vector<std::uint8_t>& file;
    std::string dosPath;           // the full DOS name the environment gives the program
    std::string tail;              // the command tail without its count and CR
    std::uint16_t parent = 0;      // 0: the first program of a session, with the standard handles
    std::uint16_t environment = 0; // strings to copy; 0: DOS's own
};
// Builds environment and PSP and places the image; `r` gets the registers the program starts with.
LoadResult loadProcess(Services& m, const ProcessImage& image, x86::Registers& r, std::uint16_t& psp);
// EXEC's "load overlay": the image at `segment`, an MZ image relocated by `factor`; returns a DOS error.
std::uint16_t loadOverlay(Services& m, const std::vector<std::uint8_t>& file, std::uint16_t segment,
                          std::uint16_t factor);
std::uint16_t exec(Services& m);            // 4Bh
std::uint16_t returnCode(Services& m);      // 4Dh
std::uint16_t terminateProcess(Services& m);// 00h and INT 20h
std::uint16_t exitProcess(Services& m);     // 4Ch
std::uint16_t keepResident(Services& m);    // 31h
std::uint16_t getPsp(Services& m);          // 51h, 62h
std::uint16_t setPsp(Services& m);          // 50h

// File control blocks (dos_fcb.cpp)
std::uint16_t fcbOpen(Services& m);            // 0Fh
std::uint16_t fcbClose(Services& m);           // 10h
std::uint16_t fcbFindFirst(Services& m);       // 11h
std::uint16_t fcbFindNext(Services& m);        // 12h
std::uint16_t fcbDelete(Services& m);          // 13h
std::uint16_t fcbReadSequential(Services& m);  // 14h
std::uint16_t fcbWriteSequential(Services& m); // 15h
std::uint16_t fcbCreate(Services& m);          // 16h
std::uint16_t fcbRename(Services& m);          // 17h
std::uint16_t fcbReadRandom(Services& m);      // 21h
std::uint16_t fcbWriteRandom(Services& m);     // 22h
std::uint16_t fcbFileSize(Services& m);        // 23h
std::uint16_t fcbSetRandom(Services& m);       // 24h
std::uint16_t fcbReadBlock(Services& m);       // 27h
std::uint16_t fcbWriteBlock(Services& m);      // 28h

// Memory (dos_memory.cpp)
constexpr std::uint16_t kFirstMcb = 0x0100;
constexpr std::uint16_t kMemoryTop = 0xA000;
void initMemory(Services& m);
// Allocates a block; returns its segment or 0 with `largest` set to the biggest free block.
std::uint16_t allocate(Services& m, std::uint16_t paragraphs, std::uint16_t owner, std::uint16_t& largest);
std::uint16_t allocateMemory(Services& m);  // 48h
std::uint16_t freeMemory(Services& m);      // 49h
std::uint16_t resizeMemory(Services& m);    // 4Ah
std::uint16_t resize(Services& m, std::uint16_t segment, std::uint16_t paragraphs, std::uint16_t& largest);
void setOwner(Services& m, std::uint16_t segment, std::uint16_t owner);
// Frees every block `owner` holds; returns the linear ranges [first, end) given back.
std::vector<std::pair<std::uint32_t, std::uint32_t>> freeOwnedBy(Services& m, std::uint16_t owner);

}  // namespace krvs::pc::dos
