#pragma once
// The MZ header of a DOS executable, read and checked before anything is put into memory.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace krvs::pc {

class Memory;
class DriveFile;

struct MzImage {
    std::uint32_t imageOffset = 0;  // where the load image starts in the file
    std::uint32_t imageSize = 0;    // bytes
    std::uint16_t minAlloc = 0, maxAlloc = 0;
    std::uint16_t ss = 0, sp = 0, cs = 0, ip = 0;
    struct Relocation { std::uint16_t offset, segment; };
    std::vector<Relocation> relocations;
};

// "MZ" or "ZM" at the start: the signature DOS takes as an .EXE whatever the file's name.
bool isMz(const std::uint8_t* head, std::size_t size);
inline bool isMz(const std::vector<std::uint8_t>& file) { return isMz(file.data(), file.size()); }
// Returns an empty error and fills `out`, or a message saying what is wrong with the file.
std::string parseMz(const std::vector<std::uint8_t>& file, MzImage& out);

// Reads a program file of at most conventional memory's size; returns an empty string or what is wrong.
// Reading stops one byte past that size, so a huge file is refused without being read whole.
std::string readProgramFile(const std::filesystem::path& program, std::vector<std::uint8_t>& out);
std::string readProgramFile(DriveFile& program, std::vector<std::uint8_t>& out);

// The command tail a command line gives a program: a leading blank, no trailing blanks.
std::string commandTail(const std::string& args);

// Fills the unopened FCBs at PSP:5Ch and PSP:6Ch from the first two words of a command tail, as the
// command interpreter (and DEBUG's N) does, and returns the AX a program starts with: FFh in AL or AH for
// a word that names a drive other than C:. An FCB holds no directory, so only a path's last part is kept.
std::uint16_t writeCommandTailFcbs(Memory& mem, std::uint16_t psp, const std::string& tail);

}  // namespace krvs::pc
