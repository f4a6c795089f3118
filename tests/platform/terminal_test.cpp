#include "platform/terminal.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace krvs::platform {
namespace {

// A pseudo-terminal pair, so raw mode can be checked without the terminal the tests run in.
class Pty {
 public:
  Pty() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return;
    m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
  }
  ~Pty() {
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
  }
  int slave() const { return m_slave; }

 private:
  int m_master = -1, m_slave = -1;
};

TEST(Terminal, RawModeHandsOverKeysUnechoedAndIsUndoneAfterwards) {
  Pty pty;
  if (pty.slave() < 0) GTEST_SKIP() << "no pseudo-terminal available";
  termios before{};
  ASSERT_EQ(::tcgetattr(pty.slave(), &before), 0);
  ASSERT_TRUE(before.c_lflag & ICANON);
  EXPECT_TRUE(isTerminal(pty.slave()));
  {
    RawTerminal raw(pty.slave());
    EXPECT_TRUE(raw.active());
    termios during{};
    ASSERT_EQ(::tcgetattr(pty.slave(), &during), 0);
    EXPECT_FALSE(during.c_lflag & (ICANON | ECHO));
    EXPECT_FALSE(during.c_iflag & ICRNL);   // Enter arrives as CR, as DOS programs expect
    EXPECT_FALSE(during.c_oflag & ONLCR);  // and their own CR LF goes out unchanged
  }
  termios after{};
  ASSERT_EQ(::tcgetattr(pty.slave(), &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
}

TEST(Terminal, APipeIsNoTerminalAndStaysAsItIs) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  EXPECT_FALSE(isTerminal(fds[0]));
  RawTerminal raw(fds[0]);
  EXPECT_FALSE(raw.active());
  ::close(fds[0]);
  ::close(fds[1]);
}

}  // namespace
}  // namespace krvs::platform
