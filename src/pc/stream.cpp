#include "pc/stream.h"

#include "platform/hostfs.h"

namespace krvs::pc {

ReadStatus FdSource::readByte(std::uint8_t& out, int timeoutMs) {
    platform::IoStatus ready = platform::waitReadable(m_fd, timeoutMs);
    if (ready == platform::IoStatus::WouldBlock) return ReadStatus::Timeout;
    if (ready != platform::IoStatus::Ok) return ReadStatus::End;
    platform::IoResult r = platform::readSome(m_fd, &out, 1);
    if (r.status == platform::IoStatus::Ok) return ReadStatus::Ready;
    return r.status == platform::IoStatus::WouldBlock ? ReadStatus::Timeout : ReadStatus::End;
}

// A closed pipe ends the write early: the reader is gone, and the output has nowhere to go.
void FdSink::write(const std::uint8_t* data, std::size_t size) { platform::writeAll(m_fd, data, size); }

}  // namespace krvs::pc
