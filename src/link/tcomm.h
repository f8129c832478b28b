// The serial-port component: the line settings of one port as properties, the
// port opened and closed on demand, blocks of bytes handed to a writer thread,
// and what the reader and writer report raised as signals on the thread that
// owns the component, in the order the threads posted it.
#pragma once

#include <QByteArray>
#include <QObject>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "link/port/comm_port.h"
#include "link/port/comm_settings.h"
#include "link/port/ecomms_error.h"
#include "link/port/serial_device.h"

namespace zrt::link {

class TComm : public QObject {
  Q_OBJECT

 public:
  // The component starts with a new component's settings; it uses `platform`
  // (the system's by default) for every port operation.
  explicit TComm(QObject* parent = nullptr, SerialPlatform& platform = SystemSerialPlatform());
  // Closes a port that is still open.
  ~TComm() override;

  // Opens the port named CommName with the current settings and starts the
  // reader and the writer. Throws ECommsError on failure; the component then
  // holds nothing, unless the port was already open.
  void OpenPort();
  // Opens the port as OpenPort does, on a thread of its own, so that a
  // server slow to connect or to confirm the settings holds up nothing;
  // OnOpenFinished follows on the owner's thread (IsOpen() and OpenError()
  // say how it went). Does nothing while the port is open or opening.
  void OpenPortInBackground();
  bool Opening() const { return opening_; }
  // Why the last background open failed (empty when it did not).
  const std::optional<ECommsError>& OpenError() const { return openError_; }
  // Stops both threads and closes the port; queued output is discarded.
  // A background open under way is given up (its port closed when it comes).
  // Does nothing when the port is closed. Never throws.
  void ClosePort();
  // Queues a copy of the bytes for the writer; false (nothing queued) when
  // the port is closed, the writer has ended or `length` is 0. Never waits.
  bool SendData(const void* buffer, std::uint16_t length);
  bool IsOpen() const { return port_ != nullptr; }
  // Each block SendData queues goes out no sooner than `gap` after the block
  // before has left the computer, timed by the writer (0, the default: as
  // soon as it can). For an instrument that takes bytes no faster.
  void SetMinimumGap(std::chrono::microseconds gap);
  // Why the open port refused the line settings last applied to it (no
  // error when it took them, or when the port is closed).
  const SysError& SettingsError() const { return settingsError_; }
  // What the open port noted that is no failure but worth telling (a modem
  // line a network server left unanswered, why a connection ended), since
  // the last call.
  std::vector<PortNote> TakeNotes() { return port_ ? port_->TakeNotes() : std::vector<PortNote>{}; }

  // Every setting as a whole.
  const CommProperties& Properties() const { return properties_; }

  // CommName and Parity only store their value; they take effect at the next
  // OpenPort (Parity also when another line setting is re-applied). Any other
  // setting, when it changes, is applied to an open port at once.
  const std::string& CommName() const { return properties_.commName; }
  void SetCommName(std::string name) { properties_.commName = std::move(name); }
  std::uint32_t BaudRate() const { return properties_.baudRate; }
  void SetBaudRate(std::uint32_t v) { SetLine(&CommProperties::baudRate, v); }
  bool ParityCheck() const { return properties_.parityCheck; }
  void SetParityCheck(bool v) { SetLine(&CommProperties::parityCheck, v); }
  bool Outx_CtsFlow() const { return properties_.outxCtsFlow; }
  void SetOutx_CtsFlow(bool v) { SetLine(&CommProperties::outxCtsFlow, v); }
  bool Outx_DsrFlow() const { return properties_.outxDsrFlow; }
  void SetOutx_DsrFlow(bool v) { SetLine(&CommProperties::outxDsrFlow, v); }
  TDtrControl DtrControl() const { return properties_.dtrControl; }
  void SetDtrControl(TDtrControl v) { SetLine(&CommProperties::dtrControl, v); }
  bool DsrSensitivity() const { return properties_.dsrSensitivity; }
  void SetDsrSensitivity(bool v) { SetLine(&CommProperties::dsrSensitivity, v); }
  bool TxContinueOnXoff() const { return properties_.txContinueOnXoff; }
  void SetTxContinueOnXoff(bool v) { SetLine(&CommProperties::txContinueOnXoff, v); }
  bool Outx_XonXoffFlow() const { return properties_.outxXonXoffFlow; }
  void SetOutx_XonXoffFlow(bool v) { SetLine(&CommProperties::outxXonXoffFlow, v); }
  bool Inx_XonXoffFlow() const { return properties_.inxXonXoffFlow; }
  void SetInx_XonXoffFlow(bool v) { SetLine(&CommProperties::inxXonXoffFlow, v); }
  bool ReplaceWhenParityError() const { return properties_.replaceWhenParityError; }
  void SetReplaceWhenParityError(bool v) { SetLine(&CommProperties::replaceWhenParityError, v); }
  bool IgnoreNullChar() const { return properties_.ignoreNullChar; }
  void SetIgnoreNullChar(bool v) { SetLine(&CommProperties::ignoreNullChar, v); }
  TRtsControl RtsControl() const { return properties_.rtsControl; }
  void SetRtsControl(TRtsControl v) { SetLine(&CommProperties::rtsControl, v); }
  std::uint16_t XonLimit() const { return properties_.xonLimit; }
  void SetXonLimit(std::uint16_t v) { SetLine(&CommProperties::xonLimit, v); }
  std::uint16_t XoffLimit() const { return properties_.xoffLimit; }
  void SetXoffLimit(std::uint16_t v) { SetLine(&CommProperties::xoffLimit, v); }
  TByteSize ByteSize() const { return properties_.byteSize; }
  void SetByteSize(TByteSize v) { SetLine(&CommProperties::byteSize, v); }
  TParity Parity() const { return properties_.parity; }
  void SetParity(TParity v) { properties_.parity = v; }
  TStopBits StopBits() const { return properties_.stopBits; }
  void SetStopBits(TStopBits v) { SetLine(&CommProperties::stopBits, v); }
  char XonChar() const { return properties_.xonChar; }
  void SetXonChar(char v) { SetLine(&CommProperties::xonChar, v); }
  char XoffChar() const { return properties_.xoffChar; }
  void SetXoffChar(char v) { SetLine(&CommProperties::xoffChar, v); }
  char ReplacedChar() const { return properties_.replacedChar; }
  void SetReplacedChar(char v) { SetLine(&CommProperties::replacedChar, v); }
  std::uint32_t ReadIntervalTimeout() const { return properties_.timeouts.readIntervalTimeout; }
  void SetReadIntervalTimeout(std::uint32_t v) {
    SetTimeout(&CommTimeouts::readIntervalTimeout, v);
  }
  std::uint32_t ReadTotalTimeoutMultiplier() const {
    return properties_.timeouts.readTotalTimeoutMultiplier;
  }
  void SetReadTotalTimeoutMultiplier(std::uint32_t v) {
    SetTimeout(&CommTimeouts::readTotalTimeoutMultiplier, v);
  }
  std::uint32_t ReadTotalTimeoutConstant() const {
    return properties_.timeouts.readTotalTimeoutConstant;
  }
  void SetReadTotalTimeoutConstant(std::uint32_t v) {
    SetTimeout(&CommTimeouts::readTotalTimeoutConstant, v);
  }
  std::uint32_t WriteTotalTimeoutMultiplier() const {
    return properties_.timeouts.writeTotalTimeoutMultiplier;
  }
  void SetWriteTotalTimeoutMultiplier(std::uint32_t v) {
    SetTimeout(&CommTimeouts::writeTotalTimeoutMultiplier, v);
  }
  std::uint32_t WriteTotalTimeoutConstant() const {
    return properties_.timeouts.writeTotalTimeoutConstant;
  }
  void SetWriteTotalTimeoutConstant(std::uint32_t v) {
    SetTimeout(&CommTimeouts::writeTotalTimeoutConstant, v);
  }

 signals:
  // 1 to 2048 bytes; data.constData()[data.size()] is 0.
  void OnReceiveData(const QByteArray& data);
  // The line-error flags (CE_*) the port reported.
  void OnReceiveError(quint32 eventMask);
  // kModemRing and/or kModemCarrier.
  void OnModemStateChange(quint32 modemEvent);
  // The device is gone or a thread met an error; the port stays open until
  // ClosePort.
  void OnRequestHangup();
  // The writer found its queue empty.
  void OnSendDataEmpty();
  // Every block SendData queued since the port opened has left the computer.
  void OnOutputSent();
  // The device holds output back (the other side sent XOFF), or goes on.
  void OnOutputHeld(bool held);
  // A background open has ended, opened or not.
  void OnOpenFinished();

 private slots:
  void DeliverNotifications();

 private:
  template <typename T>
  void SetLine(T CommProperties::*field, T value) {
    if (properties_.*field == value) return;
    properties_.*field = value;
    if (port_) ApplyCommState();
  }
  void SetTimeout(std::uint32_t CommTimeouts::*field, std::uint32_t value);
  void ApplyCommState();

  SerialPlatform& platform_;
  CommProperties properties_;
  std::unique_ptr<NotificationQueue<QByteArray>> notifications_;  // outlives every opening
  SysError settingsError_;
  std::unique_ptr<CommPort> port_;  // while the port is open
  bool opening_ = false;            // a background open is under way
  bool openAbandoned_ = false;      // and its port is to be closed when it comes
  std::optional<ECommsError> openError_;
  std::uint32_t queuedBlocks_ = 0;  // since the port opened
  std::chrono::microseconds minimumGap_{0};
  std::jthread opener_;  // last: joined before the rest goes (bounded by the open's own limits)
};

}  // namespace zrt::link
