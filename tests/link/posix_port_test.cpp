// The POSIX platform on pseudo-terminals and on things that are no terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QTemporaryFile>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>

#include "comm_recorder.h"
#include "link/port/serial_port_posix.h"
#include "link/port/terminal_checks.h"
#include "link/port/uucp_lock.h"
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

TEST(PortNames, WhatIsNoSerialTerminalIsRefused) {
  QTemporaryFile file;
  ASSERT_TRUE(file.open());
  const std::string regular = file.fileName().toStdString();
  struct Case {
    std::string name;
    const char* message;
    std::string reason;
  };
  const Case cases[] = {
      {"/dev/zrt-no-such-port", "Error opening serial port", "No such file or directory"},
      {"zrt-no-such-port", "Error opening serial port", "No such file or directory"},
      {"/dev/null", "File handle is not a comm handle ", "/dev/null is not a serial terminal"},
      // A bare name leads to /dev too, and is looked at before it is opened.
      {"null", "File handle is not a comm handle ", "/dev/null is not a serial terminal"},
      {"/dev/tty", "File handle is not a comm handle ", "/dev/tty is not a serial terminal"},
      {"/dev/ptmx", "File handle is not a comm handle ", "/dev/ptmx is not a serial terminal"},
      {regular, "File handle is not a comm handle ", regular + " is not a character device"},
      {"/dev", "File handle is not a comm handle ", "/dev is not a character device"},
  };
  for (const Case& c : cases) ExpectOpenFails(c.name, c.message, c.reason);
}

TEST(TerminalChecks, DriverTableNamesSerialTerminals) {
  constexpr std::string_view kDrivers =
      "/dev/tty             /dev/tty        5       0 system:/dev/tty\n"
      "/dev/ptmx            /dev/ptmx       5       2 system\n"
      "usbserial            /dev/ttyUSB   188 0-511 serial\n"
      "serial               /dev/ttyS       4      64-95 serial\n"
      "pty_slave            /dev/pts      136 0-1048575 pty:slave\n"
      "pty_master           /dev/ptm      128 0-1048575 pty:master\n"
      "unknown              /dev/tty        4 1-63 console\n";
  struct Case {
    unsigned major, minor;
    bool serial;
  };
  const Case cases[] = {{188, 511, true}, {188, 512, false}, {4, 64, true}, {4, 1, false},
                        {136, 7, true},   {128, 7, false},   {5, 0, false}, {10, 130, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(IsSerialTerminal(kDrivers, c.major, c.minor), c.serial) << c.major << ":" << c.minor;
  }
}

TEST(PortList, AdaptersAfterStableNames) {
  QTemporaryDir dev;
  ASSERT_TRUE(dev.isValid());
  const std::string root = dev.path().toStdString();
  std::filesystem::create_directories(root + "/serial/by-id");
  for (const char* name : {"ttyUSB10", "ttyS0", "ttyUSB2", "ttyACM0", "null",
                           "serial/by-id/usb-FTDI_x", "serial/by-id/usb-CH340_y"}) {
    std::ofstream(root + "/" + name).put('\0');
  }
  const std::vector<std::string> expected = {root + "/serial/by-id/usb-CH340_y",
                                             root + "/serial/by-id/usb-FTDI_x", root + "/ttyACM0",
                                             root + "/ttyUSB2", root + "/ttyUSB10"};
  EXPECT_EQ(PresentSerialPortsUnder(root), expected);
  EXPECT_TRUE(PresentSerialPortsUnder(root + "/missing").empty());
}

TEST(PortNames, NoPermissionIsAnOpeningError) {
  PtyPair pty;
  ASSERT_EQ(chmod(pty.TerminalPath().c_str(), 0600), 0);
  if (geteuid() != 0) {
    ExpectOpenFails(pty.TerminalPath(), "Error opening serial port", "Permission denied");
    return;
  }
  // Root may open anything: try as an unprivileged user in a child process,
  // with the terminal given to a group as serial devices are.
  ASSERT_EQ(chown(pty.TerminalPath().c_str(), 0, 5), 0);  // 5: tty
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    PosixSerialPlatform platform;
    const auto opened = platform.Open(pty.TerminalPath());
    // The pseudo-terminal's group (tty) is named, with how to join it.
    _exit(opened.failure == SerialPlatform::OpenFailure::CannotOpen &&
                  opened.error.code == EACCES &&
                  opened.error.reason.find("group \"tty\"") != std::string::npos
              ? 0
              : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "3: cannot drop privileges; 1: opened or other error";
}

// UUCP lock files under both names: a live holder honoured, a stale lock
// taken over, and the files made removed with the lock.
TEST(UucpLock, HonoursLiveHoldersAndTakesOverStaleLocks) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  auto write = [&](const char* name, const std::string& content) {
    std::ofstream(folder + "/" + name) << content;
  };
  auto read = [&](const char* name) {
    std::ifstream in(folder + "/" + name);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  char mine[16];
  std::snprintf(mine, sizeof mine, "%10d\n", static_cast<int>(getpid()));
  const struct {
    const char* name;     // an existing lock, in one of the two forms
    std::string content;  // empty: none
    std::optional<pid_t> holder;
  } cases[] = {
      {"LCK..pts_3", "", std::nullopt},
      {"LCK..pts_3", "     " + std::to_string(getppid()) + "\n", getppid()},  // ser2net's form
      {"LCK..3", std::to_string(getppid()) + "\n", getppid()},                // the base name
      {"LCK..pts_3", "1999999999\n", std::nullopt},                           // stale
      {"LCK..3", "garbage\n", pid_t{0}},
  };
  for (const auto& c : cases) {
    if (!c.content.empty()) write(c.name, c.content);
    {
      auto taken = UucpLock::Take("/dev/pts/3", folder);
      if (c.holder) {
        ASSERT_TRUE(std::holds_alternative<UucpLock::Held>(taken)) << c.content;
        EXPECT_EQ(std::get<UucpLock::Held>(taken).pid, *c.holder);
        EXPECT_EQ(std::get<UucpLock::Held>(taken).file, folder + "/" + c.name);
        std::filesystem::remove(folder + "/" + c.name);
        continue;
      }
      ASSERT_TRUE(std::holds_alternative<UucpLock>(taken)) << c.content;
      EXPECT_EQ(std::get<UucpLock>(taken).Files().size(), 2u);
      EXPECT_EQ(read("LCK..pts_3"), mine);
      EXPECT_EQ(read("LCK..3"), mine);
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "/LCK..pts_3")) << "removed with the lock";
    EXPECT_FALSE(std::filesystem::exists(folder + "/LCK..3"));
  }
}

// A living process that is not the lock's maker (its id given again) or
// that has long not had the device open is no holder; the lock is never
// written through a name planted beforehand.
TEST(UucpLock, ReusedPidsAreNoHoldersAndPlantedNamesAreNotFollowed) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  const std::string device = "/dev/zrt-test-none";
  const std::string file = folder + "/LCK..zrt-test-none";
  const pid_t child = fork();
  if (child == 0) {
    pause();
    _exit(0);
  }
  ASSERT_GT(child, 0);
  const auto hourAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
  const struct {
    pid_t holder;
    bool aged;  // made an hour ago
    bool honoured;
  } cases[] = {
      {child, false, true},      // made just now by a process starting to open the device
      {child, true, false},      // the process started after the lock was made
      {getppid(), true, false},  // made long ago, and the device not open there
  };
  for (const auto& c : cases) {
    std::ofstream(file) << c.holder << "\n";
    if (c.aged) std::filesystem::last_write_time(file, hourAgo);
    const auto taken = UucpLock::Take(device, folder);
    EXPECT_EQ(std::holds_alternative<UucpLock::Held>(taken), c.honoured) << c.holder;
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);

  // The name a lock was once made under, planted as a link to a file.
  const std::string victim = folder + "/victim";
  std::ofstream(victim) << "keep";
  std::filesystem::create_symlink(victim, folder + "/LCK.." + std::to_string(getpid()) + ".tmp");
  std::filesystem::remove(file);
  {
    const auto taken = UucpLock::Take(device, folder);
    ASSERT_TRUE(std::holds_alternative<UucpLock>(taken));
  }
  std::ifstream in(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
}

}  // namespace
}  // namespace zrt::link::testing
