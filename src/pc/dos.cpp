// INT 21h dispatch, and the process, vector, date and time functions.

#include <array>
#include <cstdio>

#include "dos_fns.h"

namespace krvs::pc {

void Machine::initDos() {
    m_dos->dtaSegment = 0;
    Services services(*this);
    dos::initMemory(services);
}

DosState::~DosState() = default;

namespace dos {

namespace {

enum class Convention : std::uint8_t {
    Plain,  // registers only; the carry flag is left as the caller had it
    Carry,  // success clears CF; an error sets CF and puts the code in AX
};

struct Function {
    ServiceFn fn = nullptr;
    Convention convention = Convention::Plain;
};

std::uint16_t setVector(Services& m) {  // 25h
    auto& r = m.regs();
    auto off = static_cast<std::uint16_t>(lo(r.gp[AX]) * 4);
    m.memory().write16(0, off, r.gp[DX]);
    m.memory().write16(0, static_cast<std::uint16_t>(off + 2), r.seg[DS]);
    return 0;
}

std::uint16_t getVector(Services& m) {  // 35h
    auto& r = m.regs();
    auto off = static_cast<std::uint16_t>(lo(r.gp[AX]) * 4);
    r.gp[BX] = m.memory().read16(0, off);
    r.seg[ES] = m.memory().read16(0, static_cast<std::uint16_t>(off + 2));
    return 0;
}

std::uint16_t version(Services& m) {  // 30h
    auto& r = m.regs();
    r.gp[AX] = 0x0005;  // DOS 5.0
    r.gp[BX] = 0;
    r.gp[CX] = 0;
    return 0;
}

std::uint16_t setDta(Services& m) {  // 1Ah
    m.dos().dtaSegment = m.regs().seg[DS];
    m.dos().dtaOffset = m.regs().gp[DX];
    return 0;
}

std::uint16_t getDta(Services& m) {  // 2Fh
    m.regs().seg[ES] = m.dos().dtaSegment;
    m.regs().gp[BX] = m.dos().dtaOffset;
    return 0;
}

std::uint16_t selectDrive(Services& m) {  // 0Eh: C: is the only drive, but DOS reports the usual 5 letters
    setLo(m.regs().gp[AX], 5);
    return 0;
}

std::uint16_t currentDrive(Services& m) {  // 19h
    setLo(m.regs().gp[AX], 2);
    return 0;
}

std::uint16_t diskReset(Services&) { return 0; }  // 0Dh: writes are not cached

std::uint16_t breakFlag(Services& m) {  // 33h
    auto& r = m.regs();
    switch (lo(r.gp[AX])) {
    case 0: setLo(r.gp[DX], m.dos().breakCheck ? 1 : 0); break;
    case 1: m.dos().breakCheck = lo(r.gp[DX]) & 1; break;
    case 5: setLo(r.gp[DX], 3); break;  // booted from C:
    default: setLo(r.gp[AX], 0xFF);
    }
    return 0;
}

std::uint16_t verifyFlag(Services& m) {  // 54h
    setLo(m.regs().gp[AX], m.dos().verify ? 1 : 0);
    return 0;
}

std::uint16_t setVerify(Services& m) {  // 2Eh
    m.dos().verify = lo(m.regs().gp[AX]) & 1;
    return 0;
}

std::uint16_t getDate(Services& m) {  // 2Ah
    std::tm t = m.localNow();
    auto& r = m.regs();
    r.gp[CX] = static_cast<std::uint16_t>(t.tm_year + 1900);
    r.gp[DX] = static_cast<std::uint16_t>((t.tm_mon + 1) << 8 | t.tm_mday);
    setLo(r.gp[AX], static_cast<std::uint8_t>(t.tm_wday));
    return 0;
}

std::uint16_t getTime(Services& m) {  // 2Ch
    std::tm t = m.localNow();
    auto& r = m.regs();
    r.gp[CX] = static_cast<std::uint16_t>(t.tm_hour << 8 | t.tm_min);
    auto hundredths = static_cast<std::uint8_t>((m.clocks() % Pit::kClockHz) * 100 / Pit::kClockHz);
    r.gp[DX] = static_cast<std::uint16_t>(t.tm_sec << 8 | hundredths);
    return 0;
}

// Setting the date or time moves the machine's clock; the host clock is never touched.
void moveClockTo(Services& m, std::tm target) {
    std::tm current = m.localNow();
    target.tm_isdst = current.tm_isdst;
    m.adjustClock(static_cast<std::int64_t>(std::mktime(&target) - std::mktime(&current)));
}

std::uint16_t setDate(Services& m) {  // 2Bh
    auto& r = m.regs();
    int year = r.gp[CX], month = hi(r.gp[DX]), day = lo(r.gp[DX]);
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 1980 || year > 2099 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1] ||
        (month == 2 && day == 29 && !leap)) {
        setLo(r.gp[AX], 0xFF);
        return 0;
    }
    std::tm t = m.localNow();
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    moveClockTo(m, t);
    setLo(r.gp[AX], 0);
    return 0;
}

std::uint16_t setTime(Services& m) {  // 2Dh
    auto& r = m.regs();
    int hour = hi(r.gp[CX]), minute = lo(r.gp[CX]), second = hi(r.gp[DX]);
    if (hour > 23 || minute > 59 || second > 59 || lo(r.gp[DX]) > 99) {
        setLo(r.gp[AX], 0xFF);
        return 0;
    }
    std::tm t = m.localNow();
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    moveClockTo(m, t);
    setLo(r.gp[AX], 0);
    return 0;
}

constexpr std::array<Function, 256> buildTable() {
    std::array<Function, 256> t{};
    auto plain = [&t](int n, ServiceFn f) { t[n] = {f, Convention::Plain}; };
    auto carry = [&t](int n, ServiceFn f) { t[n] = {f, Convention::Carry}; };
    plain(0x00, terminateProcess);
    plain(0x01, readChar);
    plain(0x02, writeChar);
    plain(0x06, directConsole);
    plain(0x07, readCharRaw);
    plain(0x08, readCharRaw);
    plain(0x09, writeString);
    plain(0x0A, readLine);
    plain(0x0B, inputStatus);
    plain(0x0C, flushAndRead);
    plain(0x0D, diskReset);
    plain(0x0E, selectDrive);
    plain(0x0F, fcbOpen);
    plain(0x10, fcbClose);
    plain(0x11, fcbFindFirst);
    plain(0x12, fcbFindNext);
    plain(0x13, fcbDelete);
    plain(0x14, fcbReadSequential);
    plain(0x15, fcbWriteSequential);
    plain(0x16, fcbCreate);
    plain(0x17, fcbRename);
    plain(0x19, currentDrive);
    plain(0x1A, setDta);
    plain(0x21, fcbReadRandom);
    plain(0x22, fcbWriteRandom);
    plain(0x23, fcbFileSize);
    plain(0x24, fcbSetRandom);
    plain(0x25, setVector);
    plain(0x27, fcbReadBlock);
    plain(0x28, fcbWriteBlock);
    plain(0x2A, getDate);
    plain(0x2B, setDate);
    plain(0x2C, getTime);
    plain(0x2D, setTime);
    plain(0x2E, setVerify);
    plain(0x2F, getDta);
    plain(0x30, version);
    plain(0x31, keepResident);
    plain(0x33, breakFlag);
    plain(0x35, getVector);
    plain(0x36, diskFree);
    carry(0x39, makeDirectory);
    carry(0x3A, removeDirectory);
    carry(0x3B, changeDirectory);
    carry(0x3C, create);
    carry(0x3D, open);
    carry(0x3E, close);
    carry(0x3F, read);
    carry(0x40, write);
    carry(0x41, remove);
    carry(0x42, seek);
    carry(0x43, attributes);
    carry(0x44, ioctl);
    carry(0x45, duplicate);
    carry(0x46, forceDuplicate);
    carry(0x47, currentDirectory);
    carry(0x48, allocateMemory);
    carry(0x49, freeMemory);
    carry(0x4A, resizeMemory);
    plain(0x4B, exec);
    plain(0x4C, exitProcess);
    plain(0x4D, returnCode);
    carry(0x4E, findFirst);
    carry(0x4F, findNext);
    plain(0x50, setPsp);
    plain(0x51, getPsp);
    plain(0x54, verifyFlag);
    carry(0x56, rename);
    carry(0x57, fileTime);
    carry(0x5B, createNew);
    plain(0x62, getPsp);
    carry(0x68, commit);
    return t;
}

constexpr auto kFunctions = buildTable();

// A function DOS does not have here fails visibly: the old character and FCB functions report AL=FFh,
// the handle-era ones the carry flag with error 1; both get the carry flag, which old callers ignore.
std::uint16_t unsupported(Services& m, std::uint8_t ah) {
    auto& r = m.regs();
    if (ah < 0x2F) setLo(r.gp[AX], 0xFF);
    else r.gp[AX] = doserr::kInvalidFunction;
    m.setReturnFlag(x86::flag::CF, true);
    return 0;
}

}  // namespace

std::uint16_t int21(Services& m) {
    auto& r = m.regs();
    std::uint8_t ah = hi(r.gp[AX]);
    const Function& f = kFunctions[ah];
    if (!f.fn) {
        char text[64];
        std::snprintf(text, sizeof text, "INT 21h function %02Xh is not supported", ah);
        m.note(text);
        return unsupported(m, ah);
    }
    std::uint16_t result = f.fn(m);
    if (result == kServiceRetry || result == kServiceWait) return result;
    if (f.convention == Convention::Carry) {
        if (result != 0) r.gp[AX] = result;
        m.setReturnFlag(x86::flag::CF, result != 0);
    }
    return 0;
}

bool serves(std::uint8_t ah) { return kFunctions[ah].fn != nullptr; }

}  // namespace dos
}  // namespace krvs::pc
