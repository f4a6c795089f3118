#include "pc/stream.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace krvs::pc {

ReadStatus FdSource::readByte(std::uint8_t& out, int timeoutMs) {
    pollfd p{m_fd, POLLIN, 0};
    int r = ::poll(&p, 1, timeoutMs);
    if (r < 0) return errno == EINTR ? ReadStatus::Timeout : ReadStatus::End;
    if (r == 0) return ReadStatus::Timeout;
    for (;;) {
        ssize_t n = ::read(m_fd, &out, 1);
        if (n == 1) return ReadStatus::Ready;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return ReadStatus::Timeout;
        return ReadStatus::End;
    }
}

void FdSink::write(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(m_fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;  // a closed pipe: the reader is gone, output has nowhere to go
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

}  // namespace krvs::pc
