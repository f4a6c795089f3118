// Internal: the state of decoding one module, shared by the record handlers.
#pragma once

#include <array>
#include <optional>

#include "omf/module.h"
#include "omf/reader.h"

namespace krvs::omf::detail {

struct Thread {
    bool defined = false;
    std::uint8_t method = 0;
    std::uint16_t datum = 0;
};

class ModuleReader {
public:
    std::optional<Error> read(const RawRecord& record);
    ObjectModule& module() { return m_module; }

    // Record handlers; each returns an error or nothing.
    std::optional<Error> theadr(FieldReader& in, const RawRecord& r);
    std::optional<Error> coment(FieldReader& in, const RawRecord& r);
    std::optional<Error> lnames(FieldReader& in, const RawRecord& r);
    std::optional<Error> segdef(FieldReader& in, const RawRecord& r);
    std::optional<Error> grpdef(FieldReader& in, const RawRecord& r);
    std::optional<Error> extdef(FieldReader& in, const RawRecord& r);
    std::optional<Error> pubdef(FieldReader& in, const RawRecord& r);
    std::optional<Error> linnum(FieldReader& in, const RawRecord& r);
    std::optional<Error> ledata(FieldReader& in, const RawRecord& r);
    std::optional<Error> lidata(FieldReader& in, const RawRecord& r);
    std::optional<Error> fixupp(FieldReader& in, const RawRecord& r);
    std::optional<Error> modend(FieldReader& in, const RawRecord& r);
    std::optional<Error> ignore(FieldReader& in, const RawRecord& r);
    std::optional<Error> unsupported(FieldReader& in, const RawRecord& r);

private:
    std::optional<Error> checkIndex(std::size_t at, const char* what, std::uint16_t index, std::size_t count,
                                    bool zeroAllowed) const;
    std::optional<Error> checkFrame(std::size_t at, FrameMethod method, std::uint16_t datum) const;
    std::optional<Error> checkTarget(std::size_t at, TargetMethod method, std::uint16_t datum) const;
    std::optional<Error> readReference(FieldReader& in, std::uint8_t fixData, bool wide, Reference& ref);
    std::optional<Error> readThread(FieldReader& in, std::uint8_t first);
    std::optional<Error> readFixup(FieldReader& in, std::uint8_t first, bool wide);

    ObjectModule m_module;
    std::array<Thread, 4> m_frameThreads{};
    std::array<Thread, 4> m_targetThreads{};
    bool m_haveData = false;  // a LEDATA/LIDATA precedes: FIXUPP may refer to it
};

}  // namespace krvs::omf::detail
