#pragma once
// The byte-stream front end: program output goes out as the bytes written, keys come in as bytes.

#include <cstdint>
#include <string>

namespace krvs::pc {

enum class ReadStatus : std::uint8_t { Ready, Timeout, End };

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Waits at most timeoutMs (0: just looks) for one byte. Never reads more than the one byte it returns,
    // so whatever follows stays in the stream for the next reader.
    virtual ReadStatus readByte(std::uint8_t& out, int timeoutMs) = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(const std::uint8_t* data, std::size_t size) = 0;
};

// A host file descriptor (a pipe, a terminal, a file).
class FdSource : public ByteSource {
public:
    explicit FdSource(int fd) : m_fd(fd) {}
    ReadStatus readByte(std::uint8_t& out, int timeoutMs) override;

private:
    int m_fd;
};

class FdSink : public ByteSink {
public:
    explicit FdSink(int fd) : m_fd(fd) {}
    void write(const std::uint8_t* data, std::size_t size) override;

private:
    int m_fd;
};

// In-memory streams for tests and for callers that collect the output.
class StringSource : public ByteSource {
public:
    explicit StringSource(std::string bytes) : m_bytes(std::move(bytes)) {}
    ReadStatus readByte(std::uint8_t& out, int) override {
        if (m_pos >= m_bytes.size()) return ReadStatus::End;
        out = static_cast<std::uint8_t>(m_bytes[m_pos++]);
        return ReadStatus::Ready;
    }

private:
    std::string m_bytes;
    std::size_t m_pos = 0;
};

class StringSink : public ByteSink {
public:
    void write(const std::uint8_t* data, std::size_t size) override {
        m_text.append(reinterpret_cast<const char*>(data), size);
    }
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

}  // namespace krvs::pc
