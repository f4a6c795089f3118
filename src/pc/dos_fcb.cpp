// INT 21h file control block functions, the CP/M-style file calls older course programs use. Each call
// finds the file the FCB names on drive C: again, so an FCB holds nothing but what DOS shows a program and
// no call reaches outside the program's directory. Results are in AL: 00h success, FFh (or 01h-03h for
// record transfers) failure.

#include <algorithm>

#include "dos_fns.h"

namespace krvs::pc::dos {

namespace {

// Offsets within a standard FCB.
constexpr std::uint16_t kDriveAt = 0x00, kNameAt = 0x01, kBlockAt = 0x0C, kRecordSizeAt = 0x0E, kSizeAt = 0x10,
                        kDateAt = 0x14, kTimeAt = 0x16, kRecordAt = 0x20, kRandomAt = 0x21, kNewNameAt = 0x11;
constexpr std::uint8_t kOk = 0x00, kEndOfFile = 0x01, kWrap = 0x02, kPartial = 0x03, kFailed = 0xFF;

struct Fcb {
    std::uint16_t seg, off;  // of the standard part (past an extended FCB's 7-byte header)
    bool extended = false;
    std::uint8_t attributes = 0;  // what a search includes besides normal files
};

Fcb fcbAt(Services& m) {
    auto& r = m.regs();
    Fcb f{r.seg[DS], r.gp[DX]};
    if (m.memory().read8(f.seg, f.off) == 0xFF) {
        f.extended = true;
        f.attributes = m.memory().read8(f.seg, static_cast<std::uint16_t>(f.off + 6));
        f.off = static_cast<std::uint16_t>(f.off + 7);
    }
    return f;
}

std::uint16_t at(const Fcb& f, std::uint16_t field) { return static_cast<std::uint16_t>(f.off + field); }

// The 11 name bytes at `field` as a DOS name or pattern: "NAME.EXT", '?' kept.
std::string nameOf(Services& m, const Fcb& f, std::uint16_t field = kNameAt) {
    std::string base, ext;
    for (int i = 0; i < 11; ++i) {
        char c = static_cast<char>(m.memory().read8(f.seg, static_cast<std::uint16_t>(at(f, field) + i)));
        (i < 8 ? base : ext).push_back(c);
    }
    while (!base.empty() && base.back() == ' ') base.pop_back();
    while (!ext.empty() && ext.back() == ' ') ext.pop_back();
    return base + "." + ext;
}

// C: is the only drive: 0 (the default) and 3 name it.
bool onDriveC(Services& m, const Fcb& f) {
    std::uint8_t d = m.memory().read8(f.seg, at(f, kDriveAt));
    return d == 0 || d == 3;
}

std::uint16_t recordSize(Services& m, const Fcb& f) {
    std::uint16_t size = m.memory().read16(f.seg, at(f, kRecordSizeAt));
    return size ? size : 128;
}

std::uint32_t randomRecord(Services& m, const Fcb& f) {
    std::uint32_t rec = m.memory().read16(f.seg, at(f, kRandomAt)) |
                        static_cast<std::uint32_t>(m.memory().read8(f.seg, static_cast<std::uint16_t>(at(f, kRandomAt) + 2))) << 16;
    if (recordSize(m, f) < 64)
        rec |= static_cast<std::uint32_t>(m.memory().read8(f.seg, static_cast<std::uint16_t>(at(f, kRandomAt) + 3))) << 24;
    return rec;
}

void setRandomRecord(Services& m, const Fcb& f, std::uint32_t rec) {
    m.memory().write16(f.seg, at(f, kRandomAt), static_cast<std::uint16_t>(rec));
    m.memory().write8(f.seg, static_cast<std::uint16_t>(at(f, kRandomAt) + 2), static_cast<std::uint8_t>(rec >> 16));
    if (recordSize(m, f) < 64)
        m.memory().write8(f.seg, static_cast<std::uint16_t>(at(f, kRandomAt) + 3), static_cast<std::uint8_t>(rec >> 24));
}

std::uint32_t currentRecord(Services& m, const Fcb& f) {
    return static_cast<std::uint32_t>(m.memory().read16(f.seg, at(f, kBlockAt))) * 128 + m.memory().read8(f.seg, at(f, kRecordAt));
}

void setCurrentRecord(Services& m, const Fcb& f, std::uint32_t rec) {
    m.memory().write16(f.seg, at(f, kBlockAt), static_cast<std::uint16_t>(rec / 128));
    m.memory().write8(f.seg, at(f, kRecordAt), static_cast<std::uint8_t>(rec % 128));
}

std::uint8_t done(Services& m, std::uint8_t al) {
    setLo(m.regs().gp[AX], al);
    return 0;
}

// The existing regular file the FCB names: its DOS name and entry, or false.
bool existingFile(Services& m, const Fcb& f, std::string& name, Drive::Entry& entry) {
    if (!onDriveC(m, f)) return false;
    name = nameOf(m, f);
    if (name.find('?') != std::string::npos) return false;
    return m.drive().lookup(name, entry) == 0 && !(entry.attributes & attr::kDirectory);
}

void setSize(Services& m, const Fcb& f, std::uint64_t size) {
    auto clipped = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0xFFFFFFFF));
    m.memory().write16(f.seg, at(f, kSizeAt), static_cast<std::uint16_t>(clipped));
    m.memory().write16(f.seg, static_cast<std::uint16_t>(at(f, kSizeAt) + 2), static_cast<std::uint16_t>(clipped >> 16));
}

// What open and create show in the FCB: the drive, block 0, records of 128 bytes, size, date and time.
void fillOpened(Services& m, const Fcb& f, const Drive::Entry& e) {
    Memory& mem = m.memory();
    if (mem.read8(f.seg, at(f, kDriveAt)) == 0) mem.write8(f.seg, at(f, kDriveAt), 3);
    mem.write16(f.seg, at(f, kBlockAt), 0);
    mem.write16(f.seg, at(f, kRecordSizeAt), 128);
    setSize(m, f, e.size);
    mem.write16(f.seg, at(f, kDateAt), e.date);
    mem.write16(f.seg, at(f, kTimeAt), e.time);
}

// Moves `count` records between the DTA and the file from record `first`; returns the AL code and how many
// records moved (a partial last record counts).
std::uint8_t transfer(Services& m, const Fcb& f, std::uint32_t first, std::uint16_t& count, bool write) {
    const std::uint16_t size = recordSize(m, f);
    const std::uint16_t dtaSeg = m.dos().dtaSegment, dtaOff = m.dos().dtaOffset;
    const std::uint16_t want = count;
    count = 0;
    std::string name;
    Drive::Entry entry;
    std::unique_ptr<DriveFile> file;
    if (!existingFile(m, f, name, entry) ||
        m.drive().open(name, write ? OpenMode::ReadWrite : OpenMode::Read, file) != 0)
        return kEndOfFile;
    std::uint8_t result = kOk;
    std::vector<std::uint8_t> buf(size);
    for (; count < want; ++count) {
        auto dta = static_cast<std::uint32_t>(dtaOff) + static_cast<std::uint32_t>(count + 1) * size;
        if (dta > 0x10000) { result = kWrap; break; }
        auto off = static_cast<std::uint16_t>(dtaOff + count * size);
        auto pos = static_cast<std::uint64_t>(first + count) * size;
        if (write) {
            if (pos + size > 0x7FFFFFFF) { result = kEndOfFile; break; }  // beyond what a DOS disk holds
            m.memory().readBlock(dtaSeg, off, buf.data(), size);
            if (file->writeAt(buf.data(), size, pos) != size) { result = kEndOfFile; break; }
            continue;
        }
        std::size_t got = file->readAt(buf.data(), size, pos).value_or(0);
        if (got == 0) { result = kEndOfFile; break; }
        std::fill(buf.begin() + static_cast<std::ptrdiff_t>(got), buf.end(), 0);
        m.memory().writeBlock(dtaSeg, off, buf.data(), size);
        if (got < size) { ++count; result = kPartial; break; }
    }
    if (write) setSize(m, f, file->size());
    return result;
}

// Fills the DTA with the entry found, as an unopened FCB of the same kind as the one searched with.
void fillFound(Services& m, const Fcb& f, const Drive::Entry& e) {
    Memory& mem = m.memory();
    std::uint16_t seg = m.dos().dtaSegment, off = m.dos().dtaOffset;
    std::uint8_t entry[33] = {3};
    if (f.extended) {
        std::uint8_t head[7] = {0xFF, 0, 0, 0, 0, 0, f.attributes};
        mem.writeBlock(seg, off, head, sizeof head);
        off = static_cast<std::uint16_t>(off + 7);
    }
    std::string base = e.name.substr(0, e.name.find('.'));
    std::string ext = e.name.find('.') == std::string::npos ? "" : e.name.substr(e.name.find('.') + 1);
    for (int i = 0; i < 11; ++i) entry[1 + i] = ' ';
    for (std::size_t i = 0; i < base.size() && i < 8; ++i) entry[1 + i] = static_cast<std::uint8_t>(base[i]);
    for (std::size_t i = 0; i < ext.size() && i < 3; ++i) entry[9 + i] = static_cast<std::uint8_t>(ext[i]);
    entry[12] = e.attributes;
    entry[1 + 0x16] = static_cast<std::uint8_t>(e.time);
    entry[1 + 0x17] = static_cast<std::uint8_t>(e.time >> 8);
    entry[1 + 0x18] = static_cast<std::uint8_t>(e.date);
    entry[1 + 0x19] = static_cast<std::uint8_t>(e.date >> 8);
    for (int i = 0; i < 4; ++i) entry[1 + 0x1C + i] = static_cast<std::uint8_t>(e.size >> (8 * i));
    mem.writeBlock(seg, off, entry, sizeof entry);
}

// The files a (wildcard) FCB names: normal files, and with an extended FCB what its attribute byte adds.
std::vector<Drive::Entry> matching(Services& m, const Fcb& f) {
    std::vector<Drive::Entry> found;
    if (!onDriveC(m, f)) return found;
    m.drive().find(nameOf(m, f), f.attributes & attr::kDirectory, found);
    return found;
}

}  // namespace

std::uint16_t fcbOpen(Services& m) {
    Fcb f = fcbAt(m);
    std::string name;
    Drive::Entry entry;
    if (!existingFile(m, f, name, entry)) return done(m, kFailed);
    fillOpened(m, f, entry);
    return done(m, kOk);
}

std::uint16_t fcbClose(Services& m) {
    std::string name;
    Drive::Entry entry;
    return done(m, existingFile(m, fcbAt(m), name, entry) ? kOk : kFailed);
}

std::uint16_t fcbCreate(Services& m) {
    Fcb f = fcbAt(m);
    std::string name = nameOf(m, f);
    if (!onDriveC(m, f) || name.find('?') != std::string::npos) return done(m, kFailed);
    std::unique_ptr<DriveFile> file;
    Drive::Entry entry;
    if (m.drive().create(name, false, file) != 0) return done(m, kFailed);
    file.reset();
    if (m.drive().lookup(name, entry) != 0) return done(m, kFailed);
    fillOpened(m, f, entry);
    return done(m, kOk);
}

std::uint16_t fcbFindFirst(Services& m) {
    Fcb f = fcbAt(m);
    auto& search = m.dos().fcbSearch;
    search = matching(m, f);
    if (search.empty()) return done(m, kFailed);
    fillFound(m, f, search.front());
    search.erase(search.begin());
    return done(m, kOk);
}

std::uint16_t fcbFindNext(Services& m) {
    auto& search = m.dos().fcbSearch;
    if (search.empty()) return done(m, kFailed);
    fillFound(m, fcbAt(m), search.front());
    search.erase(search.begin());
    return done(m, kOk);
}

std::uint16_t fcbDelete(Services& m) {
    Fcb f = fcbAt(m);
    bool any = false;
    for (const auto& e : matching(m, f)) any |= m.drive().remove(e.name) == 0;
    return done(m, any ? kOk : kFailed);
}

// The new name is at 11h; a '?' in it keeps the old name's character at that place.
std::uint16_t fcbRename(Services& m) {
    Fcb f = fcbAt(m);
    std::string to = nameOf(m, f, kNewNameAt);
    bool any = false;
    for (const auto& e : matching(m, f)) {
        std::string from = e.name;
        std::string fromBase = from.substr(0, from.find('.')), fromExt = from.find('.') == std::string::npos ? "" : from.substr(from.find('.') + 1);
        std::string toBase = to.substr(0, to.find('.')), toExt = to.substr(to.find('.') + 1);
        auto merge = [](std::string pattern, const std::string& old) {
            for (std::size_t i = 0; i < pattern.size(); ++i)
                if (pattern[i] == '?') pattern[i] = i < old.size() ? old[i] : ' ';
            while (!pattern.empty() && pattern.back() == ' ') pattern.pop_back();
            return pattern;
        };
        std::string target = merge(toBase, fromBase) + "." + merge(toExt, fromExt);
        any |= m.drive().rename(from, target) == 0;
    }
    return done(m, any ? kOk : kFailed);
}

std::uint16_t fcbReadSequential(Services& m) {
    Fcb f = fcbAt(m);
    std::uint16_t count = 1;
    std::uint32_t rec = currentRecord(m, f);
    std::uint8_t result = transfer(m, f, rec, count, false);
    if (count) setCurrentRecord(m, f, rec + 1);
    return done(m, result);
}

std::uint16_t fcbWriteSequential(Services& m) {
    Fcb f = fcbAt(m);
    std::uint16_t count = 1;
    std::uint32_t rec = currentRecord(m, f);
    std::uint8_t result = transfer(m, f, rec, count, true);
    if (count) setCurrentRecord(m, f, rec + 1);
    return done(m, result);
}

std::uint16_t fcbReadRandom(Services& m) {
    Fcb f = fcbAt(m);
    std::uint16_t count = 1;
    std::uint32_t rec = randomRecord(m, f);
    setCurrentRecord(m, f, rec);
    return done(m, transfer(m, f, rec, count, false));
}

std::uint16_t fcbWriteRandom(Services& m) {
    Fcb f = fcbAt(m);
    std::uint16_t count = 1;
    std::uint32_t rec = randomRecord(m, f);
    setCurrentRecord(m, f, rec);
    return done(m, transfer(m, f, rec, count, true));
}

// The number of records in the file, rounded up, goes into the random record field.
std::uint16_t fcbFileSize(Services& m) {
    Fcb f = fcbAt(m);
    std::string name;
    Drive::Entry entry;
    if (!existingFile(m, f, name, entry)) return done(m, kFailed);
    std::uint16_t size = m.memory().read16(f.seg, at(f, kRecordSizeAt));
    if (size == 0) return done(m, kFailed);
    setRandomRecord(m, f, static_cast<std::uint32_t>((static_cast<std::uint64_t>(entry.size) + size - 1) / size));
    return done(m, kOk);
}

std::uint16_t fcbSetRandom(Services& m) {
    Fcb f = fcbAt(m);
    setRandomRecord(m, f, currentRecord(m, f));
    return 0;
}

std::uint16_t fcbReadBlock(Services& m) {
    Fcb f = fcbAt(m);
    auto& r = m.regs();
    std::uint16_t count = r.gp[CX];
    std::uint32_t rec = randomRecord(m, f);
    std::uint8_t result = transfer(m, f, rec, count, false);
    r.gp[CX] = count;
    setRandomRecord(m, f, rec + count);
    setCurrentRecord(m, f, rec + count);
    return done(m, result);
}

// CX=0 sets the file's size to the random record field's number of records.
std::uint16_t fcbWriteBlock(Services& m) {
    Fcb f = fcbAt(m);
    auto& r = m.regs();
    std::uint32_t rec = randomRecord(m, f);
    if (r.gp[CX] == 0) {
        std::string name;
        Drive::Entry entry;
        std::unique_ptr<DriveFile> file;
        std::uint64_t size = static_cast<std::uint64_t>(rec) * recordSize(m, f);
        if (!existingFile(m, f, name, entry) || size > 0x7FFFFFFF ||
            m.drive().open(name, OpenMode::ReadWrite, file) != 0 || !file->truncate(size))
            return done(m, kEndOfFile);
        setSize(m, f, size);
        return done(m, kOk);
    }
    std::uint16_t count = r.gp[CX];
    std::uint8_t result = transfer(m, f, rec, count, true);
    r.gp[CX] = count;
    setRandomRecord(m, f, rec + count);
    setCurrentRecord(m, f, rec + count);
    return done(m, result);
}

}  // namespace krvs::pc::dos
