// INT 21h handles and files on drive C:. Handle numbers index the job file table in the PSP, whose bytes
// index DOS's open-file table, so programs that inspect or duplicate handles see what DOS shows them.

#include <algorithm>

#include "dos_fns.h"
#include "platform/dosnames.h"

namespace krvs::pc::dos {

namespace {

using Kind = DosState::Kind;
using OpenFile = DosState::OpenFile;
constexpr std::uint8_t kClosed = 0xFF;

std::uint16_t jftOffset(std::uint16_t handle) { return static_cast<std::uint16_t>(DosState::kJftOffset + handle); }


// CON, NUL, AUX, PRN name devices in any directory and with any extension.
std::optional<Kind> deviceNamed(const std::string& name) {
    auto slash = name.find_last_of("\\/:");
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    base = base.substr(0, base.find('.'));
    struct Dev { const char* name; Kind kind; };
    static constexpr Dev kDevices[] = {{"CON", Kind::Console}, {"NUL", Kind::Null}, {"AUX", Kind::Aux},
                                       {"PRN", Kind::Printer}, {"COM1", Kind::Aux}, {"LPT1", Kind::Printer}};
    for (const auto& d : kDevices)
        if (platform::equalsNoCase(base, d.name)) return d.kind;
    return std::nullopt;
}

std::uint16_t deviceInfoFor(Kind kind) {
    switch (kind) {
    case Kind::Console: return 0x80D3;  // device, standard input and output, special, not at end
    case Kind::Null: return 0x8084;
    default: return 0x80C0;
    }
}

// Puts an open file into the open-file table and a free slot of the job file table.
std::uint16_t install(Services& m, OpenFile file, std::uint16_t& handle) {
    auto& files = m.dos().files;
    auto sft = std::find_if(files.begin(), files.end(), [](const auto& f) { return !f.has_value(); });
    std::uint16_t psp = m.pspSegment();
    for (std::uint16_t h = 0; h < DosState::kJftSize; ++h) {
        if (m.memory().read8(psp, jftOffset(h)) != kClosed) continue;
        if (sft == files.end()) break;
        *sft = file;
        m.memory().write8(psp, jftOffset(h), static_cast<std::uint8_t>(sft - files.begin()));
        handle = h;
        return 0;
    }
    return doserr::kTooManyFiles;
}

void release(Services& m, std::uint8_t index) {
    auto& slot = m.dos().files[index];
    if (!slot) return;
    if (--slot->refs > 0) return;
    slot.reset();
}

std::uint16_t openPath(Services& m, const std::string& name, bool create, std::uint8_t mode, std::uint16_t& handle) {
    if (auto dev = deviceNamed(name)) {
        OpenFile f;
        f.kind = *dev;
        f.mode = mode;
        f.deviceInfo = deviceInfoFor(*dev);
        return install(m, f, handle);
    }
    std::unique_ptr<DriveFile> file;
    std::uint16_t e = create ? m.drive().create(name, false, file) : m.drive().open(name, static_cast<OpenMode>(mode), file);
    if (e) return e;
    OpenFile f;
    f.file = std::move(file);
    f.mode = create ? 2 : mode;
    f.deviceInfo = 2;  // drive C:
    return install(m, f, handle);
}

std::uint8_t sftIndex(Services& m, std::uint16_t handle) {
    if (handle >= DosState::kJftSize) return kClosed;
    return m.memory().read8(m.pspSegment(), jftOffset(handle));
}

std::uint16_t readHandle(Services& m, std::uint16_t handle, std::uint8_t* out, std::uint16_t want, std::uint16_t& got) {
    OpenFile* f = fileOf(m, handle);
    got = 0;
    if (!f) return doserr::kInvalidHandle;
    switch (f->kind) {
    case Kind::Console: return readConsoleHandle(m, out, want, got);
    case Kind::File: {
        if (f->mode == 1) return doserr::kAccessDenied;
        std::optional<std::size_t> n = f->file->read(out, want);
        if (!n) return doserr::kAccessDenied;
        got = static_cast<std::uint16_t>(*n);
        return 0;
    }
    default: return 0;
    }
}

void fillFindRecord(Services& m, std::uint16_t id, std::uint16_t index, const Drive::Entry& e) {
    auto& dos = m.dos();
    Memory& mem = m.memory();
    std::uint16_t seg = dos.dtaSegment, off = dos.dtaOffset;
    auto at = [off](int n) { return static_cast<std::uint16_t>(off + n); };
    mem.write16(seg, at(0), id);
    mem.write16(seg, at(2), index);
    mem.write8(seg, at(0x15), e.attributes);
    mem.write16(seg, at(0x16), e.time);
    mem.write16(seg, at(0x18), e.date);
    mem.write16(seg, at(0x1A), static_cast<std::uint16_t>(e.size));
    mem.write16(seg, at(0x1C), static_cast<std::uint16_t>(e.size >> 16));
    for (int i = 0; i < 13; ++i) mem.write8(seg, at(0x1E + i), i < static_cast<int>(e.name.size()) ? e.name[i] : 0);
}

}  // namespace

std::string dosString(Services& m, std::uint16_t seg, std::uint16_t off) { return m.memory().readString(seg, off, 128); }

OpenFile* fileOf(Services& m, std::uint16_t handle) {
    std::uint8_t index = sftIndex(m, handle);
    if (index >= m.dos().files.size()) return nullptr;
    auto& slot = m.dos().files[index];
    return slot ? &*slot : nullptr;
}

void openStandardHandles(Services& m, std::uint16_t psp) {
    auto& files = m.dos().files;
    for (auto& f : files) f.reset();
    auto device = [](Kind kind, int refs) {
        OpenFile f;
        f.kind = kind;
        f.refs = refs;
        f.deviceInfo = deviceInfoFor(kind);
        return f;
    };
    auto hostFile = [](int fd, std::uint8_t mode) {
        OpenFile f;
        f.file = borrowHostFile(fd);
        f.mode = mode;
        f.deviceInfo = 2;
        return f;
    };
    const auto& cfg = m.config();
    // Slot 0: AUX, 1: CON (stdin, stdout, stderr), 2: PRN, 3 and 4: redirected stdin and stdout.
    files[0] = device(Kind::Aux, 1);
    files[1] = device(Kind::Console, 3);
    files[2] = device(Kind::Printer, 1);
    std::uint8_t in = 1, out = 1;
    if (cfg.stdinFd >= 0) { files[3] = hostFile(cfg.stdinFd, 0); files[1]->refs--; in = 3; }
    if (cfg.stdoutFd >= 0) { files[4] = hostFile(cfg.stdoutFd, 1); files[1]->refs--; out = 4; }
    const std::uint8_t jft[DosState::kJftSize] = {in, out, 1, 0, 2, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                          0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    m.memory().writeBlock(psp, DosState::kJftOffset, jft, sizeof jft);
}

void inheritHandles(Services& m, std::uint16_t parent, std::uint16_t child) {
    Memory& mem = m.memory();
    for (std::uint16_t h = 0; h < DosState::kJftSize; ++h) {
        std::uint8_t index = mem.read8(parent, jftOffset(h));
        if (index < m.dos().files.size() && m.dos().files[index]) m.dos().files[index]->refs++;
        else index = kClosed;
        mem.write8(child, jftOffset(h), index);
    }
}

void closeAll(Services& m) {
    for (std::uint16_t h = 0; h < DosState::kJftSize; ++h) {
        std::uint8_t index = sftIndex(m, h);
        if (index == kClosed) continue;
        m.memory().write8(m.pspSegment(), jftOffset(h), kClosed);
        if (index < m.dos().files.size()) release(m, index);
    }
}

std::uint16_t writeHandle(Services& m, std::uint16_t handle, const std::uint8_t* data, std::uint16_t size,
                          std::uint16_t& written) {
    OpenFile* f = fileOf(m, handle);
    written = 0;
    if (!f) return doserr::kInvalidHandle;
    switch (f->kind) {
    case Kind::Console:
        m.consoleWrite(data, size);
        written = size;
        return 0;
    case Kind::File: {
        if (f->mode == 0) return doserr::kAccessDenied;
        if (size == 0) {  // a write of nothing cuts the file at the current position
            std::optional<std::uint64_t> pos = f->file->seek(0, SeekFrom::Current);
            return pos && f->file->truncate(*pos) ? 0 : doserr::kAccessDenied;
        }
        // A full disk writes less than asked, which the program sees in AX.
        written = static_cast<std::uint16_t>(f->file->write(data, size).value_or(0));
        f->written = true;
        return 0;
    }
    default:
        written = size;
        return 0;
    }
}

std::uint16_t create(Services& m) {
    auto& r = m.regs();
    std::uint16_t handle;
    if (std::uint16_t e = openPath(m, dosString(m, r.seg[DS], r.gp[DX]), true, 2, handle)) return e;
    r.gp[AX] = handle;
    return 0;
}

std::uint16_t createNew(Services& m) {
    auto& r = m.regs();
    std::string name = dosString(m, r.seg[DS], r.gp[DX]);
    std::uint16_t handle;
    if (deviceNamed(name)) {
        if (std::uint16_t e = openPath(m, name, true, 2, handle)) return e;
        r.gp[AX] = handle;
        return 0;
    }
    std::unique_ptr<DriveFile> file;
    if (std::uint16_t e = m.drive().create(name, true, file)) return e;
    OpenFile f;
    f.file = std::move(file);
    f.deviceInfo = 2;  // drive C:
    if (std::uint16_t e = install(m, f, handle)) return e;
    r.gp[AX] = handle;
    return 0;
}

std::uint16_t commit(Services& m) {
    OpenFile* f = fileOf(m, m.regs().gp[BX]);
    if (!f) return doserr::kInvalidHandle;
    if (f->kind == Kind::File) f->file->commit();
    return 0;
}

std::uint16_t diskFree(Services& m) {
    auto& r = m.regs();
    std::uint8_t drive = lo(r.gp[DX]);
    if (drive != 0 && drive != 3) {
        r.gp[AX] = 0xFFFF;
        return 0;
    }
    // 32 KB clusters of 64 sectors; the free count is capped where DOS 5 tools expect it.
    r.gp[AX] = 64;
    r.gp[CX] = 512;
    r.gp[BX] = 0x7FFF;
    r.gp[DX] = 0xFFFF;
    return 0;
}

std::uint16_t open(Services& m) {
    auto& r = m.regs();
    std::uint8_t mode = lo(r.gp[AX]) & 7;
    if (mode > 2) return doserr::kInvalidAccess;
    std::uint16_t handle;
    if (std::uint16_t e = openPath(m, dosString(m, r.seg[DS], r.gp[DX]), false, mode, handle)) return e;
    r.gp[AX] = handle;
    return 0;
}

std::uint16_t close(Services& m) {
    std::uint16_t handle = m.regs().gp[BX];
    std::uint8_t index = sftIndex(m, handle);
    if (index == kClosed || !fileOf(m, handle)) return doserr::kInvalidHandle;
    m.memory().write8(m.pspSegment(), jftOffset(handle), kClosed);
    release(m, index);
    return 0;
}

std::uint16_t read(Services& m) {
    auto& r = m.regs();
    std::vector<std::uint8_t> buf(r.gp[CX]);
    std::uint16_t got = 0;
    std::uint16_t e = readHandle(m, r.gp[BX], buf.data(), r.gp[CX], got);
    if (e) return e;
    m.memory().writeBlock(r.seg[DS], r.gp[DX], buf.data(), got);
    r.gp[AX] = got;
    return 0;
}

std::uint16_t write(Services& m) {
    auto& r = m.regs();
    std::vector<std::uint8_t> buf(r.gp[CX]);
    m.memory().readBlock(r.seg[DS], r.gp[DX], buf.data(), buf.size());
    std::uint16_t written = 0;
    if (std::uint16_t e = writeHandle(m, r.gp[BX], buf.data(), r.gp[CX], written)) return e;
    r.gp[AX] = written;
    return 0;
}

std::uint16_t remove(Services& m) {
    auto& r = m.regs();
    return m.drive().remove(dosString(m, r.seg[DS], r.gp[DX]));
}

std::uint16_t seek(Services& m) {
    auto& r = m.regs();
    OpenFile* f = fileOf(m, r.gp[BX]);
    if (!f) return doserr::kInvalidHandle;
    std::uint8_t how = lo(r.gp[AX]);
    if (how > 2) return doserr::kInvalidFunction;
    auto distance = static_cast<std::int32_t>(static_cast<std::uint32_t>(r.gp[CX]) << 16 | r.gp[DX]);
    std::uint64_t pos = 0;
    if (f->kind == Kind::File) {
        // From the start the distance is unsigned: DOS files reach 4 GB.
        std::int64_t offset = how == 0 ? static_cast<std::int64_t>(static_cast<std::uint32_t>(distance)) : distance;
        std::optional<std::uint64_t> at = f->file->seek(offset, static_cast<SeekFrom>(how));
        if (!at) return doserr::kAccessDenied;
        pos = *at;
    }
    r.gp[DX] = static_cast<std::uint16_t>(pos >> 16);
    r.gp[AX] = static_cast<std::uint16_t>(pos);
    return 0;
}

std::uint16_t attributes(Services& m) {
    auto& r = m.regs();
    std::string name = dosString(m, r.seg[DS], r.gp[DX]);
    Drive::Entry entry;
    if (std::uint16_t e = m.drive().lookup(name, entry)) return e;
    switch (lo(r.gp[AX])) {
    case 0:
        r.gp[CX] = entry.attributes;
        return 0;
    case 1: return m.drive().setAttributes(name, lo(r.gp[CX]));
    default: return doserr::kInvalidFunction;
    }
}

std::uint16_t ioctl(Services& m) {
    auto& r = m.regs();
    OpenFile* f = fileOf(m, r.gp[BX]);
    switch (lo(r.gp[AX])) {
    case 0x00:
        if (!f) return doserr::kInvalidHandle;
        r.gp[DX] = f->kind == Kind::File ? static_cast<std::uint16_t>(f->deviceInfo | (f->written ? 0 : 0x40))
                                         : f->deviceInfo;
        r.gp[AX] = r.gp[DX];
        return 0;
    case 0x01:
        if (!f) return doserr::kInvalidHandle;
        if (f->kind == Kind::File || hi(r.gp[DX]) != 0) return doserr::kInvalidFunction;
        f->deviceInfo = static_cast<std::uint16_t>((f->deviceInfo & 0xFF00) | (lo(r.gp[DX]) & 0xFF));
        return 0;
    default: {
        char text[64];
        std::snprintf(text, sizeof text, "INT 21h function 44h subfunction %02Xh is not supported", lo(r.gp[AX]));
        m.note(text);
        return doserr::kInvalidFunction;
    }
    }
}

std::uint16_t duplicate(Services& m) {
    auto& r = m.regs();
    std::uint8_t index = sftIndex(m, r.gp[BX]);
    if (index == kClosed || !fileOf(m, r.gp[BX])) return doserr::kInvalidHandle;
    std::uint16_t psp = m.pspSegment();
    for (std::uint16_t h = 0; h < DosState::kJftSize; ++h) {
        if (m.memory().read8(psp, jftOffset(h)) != kClosed) continue;
        m.memory().write8(psp, jftOffset(h), index);
        m.dos().files[index]->refs++;
        r.gp[AX] = h;
        return 0;
    }
    return doserr::kTooManyFiles;
}

std::uint16_t forceDuplicate(Services& m) {
    auto& r = m.regs();
    std::uint8_t index = sftIndex(m, r.gp[BX]);
    if (index == kClosed || !fileOf(m, r.gp[BX]) || r.gp[CX] >= DosState::kJftSize)
        return doserr::kInvalidHandle;
    if (r.gp[CX] == r.gp[BX]) return 0;
    std::uint8_t old = sftIndex(m, r.gp[CX]);
    m.dos().files[index]->refs++;
    m.memory().write8(m.pspSegment(), jftOffset(r.gp[CX]), index);
    if (old != kClosed && old < m.dos().files.size()) release(m, old);
    return 0;
}

std::uint16_t currentDirectory(Services& m) {
    auto& r = m.regs();
    std::uint8_t drive = lo(r.gp[DX]);
    if (drive != 0 && drive != 3) return doserr::kInvalidDrive;
    std::string dir = m.drive().currentDirectory();
    m.memory().writeBlock(r.seg[DS], r.gp[SI], reinterpret_cast<const std::uint8_t*>(dir.c_str()), dir.size() + 1);
    r.gp[AX] = 0x0100;
    return 0;
}

std::uint16_t changeDirectory(Services& m) {
    auto& r = m.regs();
    return m.drive().changeDirectory(dosString(m, r.seg[DS], r.gp[DX]));
}

std::uint16_t makeDirectory(Services& m) {
    auto& r = m.regs();
    return m.drive().makeDirectory(dosString(m, r.seg[DS], r.gp[DX]));
}

std::uint16_t removeDirectory(Services& m) {
    auto& r = m.regs();
    return m.drive().removeDirectory(dosString(m, r.seg[DS], r.gp[DX]));
}

std::uint16_t findFirst(Services& m) {
    auto& r = m.regs();
    auto& dos = m.dos();
    std::vector<Drive::Entry> found;
    std::uint16_t e = m.drive().find(dosString(m, r.seg[DS], r.gp[DX]), lo(r.gp[CX]), found);
    if (e) return e == doserr::kNoMoreFiles ? doserr::kFileNotFound : e;
    if (dos.searches.size() >= 64) dos.searches.erase(dos.searches.begin());  // abandoned searches
    std::uint16_t id = dos.nextSearch++;
    if (dos.nextSearch == 0) dos.nextSearch = 1;
    fillFindRecord(m, id, 1, found.front());
    dos.searches[id] = std::move(found);
    return 0;
}

std::uint16_t findNext(Services& m) {
    auto& dos = m.dos();
    std::uint16_t id = m.memory().read16(dos.dtaSegment, dos.dtaOffset);
    std::uint16_t index = m.memory().read16(dos.dtaSegment, static_cast<std::uint16_t>(dos.dtaOffset + 2));
    auto it = dos.searches.find(id);
    if (it == dos.searches.end() || index >= it->second.size()) {
        if (it != dos.searches.end()) dos.searches.erase(it);
        return doserr::kNoMoreFiles;
    }
    fillFindRecord(m, id, static_cast<std::uint16_t>(index + 1), it->second[index]);
    return 0;
}

std::uint16_t rename(Services& m) {
    auto& r = m.regs();
    return m.drive().rename(dosString(m, r.seg[DS], r.gp[DX]), dosString(m, r.seg[ES], r.gp[DI]));
}

std::uint16_t fileTime(Services& m) {
    auto& r = m.regs();
    OpenFile* f = fileOf(m, r.gp[BX]);
    if (!f) return doserr::kInvalidHandle;
    if (f->kind != Kind::File) return doserr::kInvalidFunction;
    switch (lo(r.gp[AX])) {
    case 0: {
        std::uint16_t date, time;
        dosDateTime(f->file->modified(), date, time);
        r.gp[CX] = time;
        r.gp[DX] = date;
        return 0;
    }
    case 1: {
        std::tm t{};
        t.tm_year = ((r.gp[DX] >> 9) & 0x7F) + 80;
        t.tm_mon = ((r.gp[DX] >> 5) & 0x0F) - 1;
        t.tm_mday = r.gp[DX] & 0x1F;
        t.tm_hour = r.gp[CX] >> 11;
        t.tm_min = (r.gp[CX] >> 5) & 0x3F;
        t.tm_sec = (r.gp[CX] & 0x1F) * 2;
        t.tm_isdst = -1;
        return f->file->setModified(std::mktime(&t)) ? 0 : doserr::kAccessDenied;
    }
    default: return doserr::kInvalidFunction;
    }
}

}  // namespace krvs::pc::dos
