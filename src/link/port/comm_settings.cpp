#include "link/port/comm_settings.h"

namespace zrt::link {

std::uint8_t DtrControlValue(TDtrControl control) {
  switch (control) {
    case TDtrControl::DtrEnable:
      return DTR_CONTROL_ENABLE;
    case TDtrControl::DtrDisable:
      return DTR_CONTROL_DISABLE;
    case TDtrControl::DtrHandshake:
      return DTR_CONTROL_HANDSHAKE;
  }
  return DTR_CONTROL_ENABLE;
}

std::uint8_t RtsControlValue(TRtsControl control) {
  switch (control) {
    case TRtsControl::RtsEnable:
      return RTS_CONTROL_ENABLE;
    case TRtsControl::RtsDisable:
      return RTS_CONTROL_DISABLE;
    case TRtsControl::RtsHandshake:
      return RTS_CONTROL_HANDSHAKE;
    case TRtsControl::RtsTransmissionAvailable:
      return RTS_CONTROL_TOGGLE;
  }
  return RTS_CONTROL_ENABLE;
}

std::uint32_t CommFlags(const CommProperties& p) {
  std::uint32_t flags = dcb::fBinary;
  if (p.parityCheck) flags |= dcb::fParity;
  if (p.outxCtsFlow) flags |= dcb::fOutxCtsFlow;
  if (p.outxDsrFlow) flags |= dcb::fOutxDsrFlow;
  flags |= std::uint32_t{DtrControlValue(p.dtrControl)} << dcb::fDtrControlShift;
  if (p.dsrSensitivity) flags |= dcb::fDsrSensitivity;
  if (p.txContinueOnXoff) flags |= dcb::fTXContinueOnXoff;
  if (p.outxXonXoffFlow) flags |= dcb::fOutX;
  if (p.inxXonXoffFlow) flags |= dcb::fInX;
  if (p.replaceWhenParityError) flags |= dcb::fErrorChar;
  if (p.ignoreNullChar) flags |= dcb::fNull;
  flags |= std::uint32_t{RtsControlValue(p.rtsControl)} << dcb::fRtsControlShift;
  return flags;
}

CommState BuildCommState(const CommProperties& p) {
  CommState state;
  state.baudRate = p.baudRate;
  state.flags = CommFlags(p);
  state.xonLim = p.xonLimit;
  state.xoffLim = p.xoffLimit;
  state.byteSize = static_cast<std::uint8_t>(static_cast<int>(p.byteSize) + 5);
  state.parity = static_cast<std::uint8_t>(p.parity);
  state.stopBits = static_cast<std::uint8_t>(p.stopBits);
  state.xonChar = p.xonChar;
  state.xoffChar = p.xoffChar;
  state.errorChar = p.replacedChar;
  return state;
}

}  // namespace zrt::link
