// The POSIX platform on pseudo-terminals and on things that are no terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QTemporaryFile>

#include "comm_recorder.h"
#include "link/serial_port_posix.h"
#include "link/tcomm.h"
#include "pty_pair.h"

namespace zrt::link::testing {
namespace {

TEST(DevicePath, NamesMapToDevices) {
  EXPECT_EQ(DevicePathFor("COM1"), "/dev/ttyS0");
  EXPECT_EQ(DevicePathFor("COM10"), "/dev/ttyS9");
  EXPECT_EQ(DevicePathFor("com3"), "/dev/ttyS2");
  EXPECT_EQ(DevicePathFor("ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(DevicePathFor("/dev/pts/7"), "/dev/pts/7");
  EXPECT_EQ(DevicePathFor("COM0"), "/dev/COM0");
  EXPECT_EQ(DevicePathFor("COM1x"), "/dev/COM1x");
  EXPECT_EQ(DevicePathFor("COM"), "/dev/COM");
}

class PtyPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    comm.SetCommName(pty.TerminalPath());
    comm.SetBaudRate(19200);
  }
  LineReadback Line() const { return ReadLineSettings(pty.InstrumentFd()); }

  PtyPair pty;
  TComm comm;
};

TEST_F(PtyPortTest, SettingsLandOnTheTerminal) {
  const LineReadback before = Line();
  comm.OpenPort();
  LineReadback line = Line();
  EXPECT_TRUE(line.otherBaud);
  EXPECT_EQ(line.ospeed, 19200u);
  EXPECT_EQ(line.cflag & CSIZE, unsigned{CS8});
  EXPECT_EQ(line.cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_TRUE(line.cflag & CREAD);
  EXPECT_TRUE(line.cflag & CLOCAL);
  EXPECT_EQ(line.iflag & (IXON | IXOFF), unsigned{IXON | IXOFF});
  EXPECT_EQ(line.iflag & (ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
  EXPECT_EQ(line.lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(line.oflag & OPOST, 0u);
  EXPECT_EQ(line.vstart, 17);
  EXPECT_EQ(line.vstop, 19);

  // Rates Linux has no constant for.
  for (std::uint32_t rate : {14400u, 28800u, 115200u, 1200u}) {
    comm.SetBaudRate(rate);
    EXPECT_EQ(Line().ospeed, rate);
    EXPECT_EQ(Line().ispeed, rate);
  }
  comm.SetBaudRate(0);  // would hang up the line: the rate stays
  EXPECT_EQ(Line().ospeed, 1200u);

  // A pseudo-terminal forces eight bits without parity (it clears CSIZE and
  // PARENB), but keeps the parity's sense, which shows when parity is applied.
  comm.SetParity(TParity::Odd);
  EXPECT_EQ(Line().cflag & PARODD, 0u) << "parity waits for the next apply";
  comm.SetByteSize(TByteSize::_7);
  EXPECT_EQ(Line().cflag & PARODD, unsigned{PARODD});
  comm.SetStopBits(TStopBits::_2);
  comm.SetOutx_XonXoffFlow(false);
  comm.SetOutx_CtsFlow(true);
  comm.SetXoffChar(0x15);
  line = Line();
  EXPECT_TRUE(line.cflag & CSTOPB);
  EXPECT_TRUE(line.cflag & CRTSCTS);
  EXPECT_EQ(line.iflag & (IXON | IXOFF), unsigned{IXOFF});
  EXPECT_EQ(line.vstop, 0x15);

  comm.ClosePort();
  EXPECT_EQ(Line().lflag, before.lflag) << "closing restores the terminal";
  EXPECT_EQ(Line().cflag, before.cflag);
}

TEST_F(PtyPortTest, SecondOpeningIsRefusedEvenForRoot) {
  comm.OpenPort();
  TComm other;
  other.SetCommName(pty.TerminalPath());
  try {
    other.OpenPort();
    FAIL() << "a second opening succeeded";
  } catch (const ECommsError& e) {
    EXPECT_STREQ(e.what(), "Error opening serial port");
    EXPECT_EQ(e.Reason(), "Device or resource busy");
  }
  EXPECT_FALSE(other.IsOpen());
  comm.ClosePort();
  other.OpenPort();  // a failed opening left nothing behind
  EXPECT_TRUE(other.IsOpen());
}

void ExpectOpenFails(const std::string& name, const char* message, const std::string& reason) {
  TComm comm;
  comm.SetCommName(name);
  try {
    comm.OpenPort();
    ADD_FAILURE() << name << " opened";
  } catch (const ECommsError& e) {
    EXPECT_STREQ(e.what(), message) << name;
    EXPECT_EQ(e.Reason(), reason) << name;
  }
  EXPECT_FALSE(comm.IsOpen());
}

TEST(PortNames, WhatIsNoTerminalIsRefused) {
  ExpectOpenFails("/dev/zrt-no-such-port", "Error opening serial port",
                  "No such file or directory");
  ExpectOpenFails("zrt-no-such-port", "Error opening serial port", "No such file or directory");
  ExpectOpenFails("/dev/null", "File handle is not a comm handle ",
                  "Inappropriate ioctl for device");
  QTemporaryFile file;
  ASSERT_TRUE(file.open());
  ExpectOpenFails(file.fileName().toStdString(), "File handle is not a comm handle ",
                  "Inappropriate ioctl for device");
}

TEST(PortNames, NoPermissionIsAnOpeningError) {
  PtyPair pty;
  ASSERT_EQ(chmod(pty.TerminalPath().c_str(), 0600), 0);
  if (geteuid() != 0) {
    ExpectOpenFails(pty.TerminalPath(), "Error opening serial port", "Permission denied");
    return;
  }
  // Root may open anything: try as an unprivileged user in a child process.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    PosixSerialPlatform platform;
    const auto opened = platform.Open(pty.TerminalPath());
    _exit(opened.failure == SerialPlatform::OpenFailure::CannotOpen && opened.error.code == EACCES
              ? 0
              : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "3: cannot drop privileges; 1: opened or other error";
}

}  // namespace
}  // namespace zrt::link::testing
