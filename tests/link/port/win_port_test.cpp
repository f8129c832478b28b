// The Win32 layer's own promises: the component's settings land in the
// port's DCB as named, and failures to open carry the numbers and the
// component's kinds of failure that the operator's messages know.
#include "link/port/comm_port.h"
#include "link/port/serial_port_win.h"

// clang-format off
#include <gtest/gtest.h>
#include <windows.h>
// clang-format on

#include <cerrno>
#include <cstdlib>

namespace zrt::link {
namespace {

// The port's settings as another handle reads them. Windows keeps a port to
// the one handle that opened it; wine lets a second one in.
std::optional<DCB> StateOf(const std::string& name) {
  const std::wstring path = L"\\\\.\\" + std::wstring(name.begin(), name.end());
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  const bool read = GetCommState(handle, &dcb);
  CloseHandle(handle);
  if (!read) return std::nullopt;
  return dcb;
}

TEST(Win32Port, SettingsLandInTheDcb) {
  const char* name = std::getenv("ZRT_TEST_PORT");
  if (!name) GTEST_SKIP() << "run through tools/port_pair/run";
  struct Case {
    const char* what;
    void (*change)(CommProperties&);
  };
  const Case cases[] = {
      {"a new component's", [](CommProperties&) {}},
      {"115200, two stop bits",
       [](CommProperties& p) {
         p.baudRate = 115200;
         p.stopBits = TStopBits::_2;
       }},
      {"1200, no XON/XOFF",
       [](CommProperties& p) {
         p.baudRate = 1200;
         p.outxXonXoffFlow = p.inxXonXoffFlow = false;
       }},
      {"CTS flow, other XON/XOFF characters",
       [](CommProperties& p) {
         p.outxCtsFlow = true;
         p.xonChar = 0x15;
         p.xoffChar = 0x16;
       }},
  };
  NotificationQueue<std::string> queue([] { return true; });
  for (const Case& c : cases) {
    CommProperties properties;
    properties.commName = name;
    c.change(properties);
    const auto port = CommPort::Open(SystemSerialPlatform(), properties, queue, {});
    EXPECT_FALSE(port->OpenSettingsError()) << c.what << ": " << port->OpenSettingsError().reason;
    const std::optional<DCB> dcb = StateOf(name);
    if (!dcb) GTEST_SKIP() << "the port is held exclusively: its settings cannot be read back";
    // What a pseudo-terminal keeps: it forces eight bits without parity, and
    // wine reads RTS control back from the terminal's flow control.
    const CommState asked = BuildCommState(properties);
    EXPECT_EQ(dcb->BaudRate, asked.baudRate) << c.what;
    EXPECT_EQ(dcb->StopBits, asked.stopBits) << c.what;
    EXPECT_EQ(dcb->fOutX, properties.outxXonXoffFlow) << c.what;
    EXPECT_EQ(dcb->fInX, properties.inxXonXoffFlow) << c.what;
    EXPECT_EQ(dcb->fOutxCtsFlow, properties.outxCtsFlow) << c.what;
    EXPECT_EQ(dcb->XonChar, asked.xonChar) << c.what;
    EXPECT_EQ(dcb->XoffChar, asked.xoffChar) << c.what;
  }
}

TEST(Win32Port, FailuresToOpen) {
  struct Case {
    const char* name;
    SerialPlatform::OpenFailure failure;
    int code;
  };
  const Case cases[] = {
      {"COM251", SerialPlatform::OpenFailure::CannotOpen, ENOENT},
      {"NUL", SerialPlatform::OpenFailure::NotCommDevice, ENOTTY},
  };
  for (const Case& c : cases) {
    const SerialPlatform::OpenResult opened = SystemSerialPlatform().Open(c.name);
    EXPECT_EQ(opened.device, nullptr) << c.name;
    EXPECT_EQ(opened.failure, c.failure) << c.name;
    EXPECT_EQ(opened.error.code, c.code) << c.name;
    EXPECT_FALSE(opened.error.reason.empty()) << c.name;
  }
}

}  // namespace
}  // namespace zrt::link
