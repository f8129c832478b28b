#include "cli/opened_link.h"

#include <QFile>
#include <stdexcept>
#include <string_view>

#include "link/port/ecomms_error.h"
#include "protocol/send_steps.h"
#include "sim/simulated_ch375.h"
#include "sim/simulated_serial.h"

namespace zrt::cli {

namespace {

// Why the port did not open, naming the port meant: the device a bare name
// stands for, or the address given.
QString CannotOpen(const link::ECommsError& error, const QString& port) {
  const link::SysError& why = error.Error();
  const QString path = why.path.empty() ? port : QString::fromStdString(why.path);
  if (std::string_view(error.what()).starts_with("File handle is not a comm handle")) {
    return path + " is not a serial port";
  }
  const QString reason = QString::fromStdString(why.reason);
  if (reason.isEmpty()) return path + ": " + QString::fromStdString(error.what());
  return reason.contains(path) ? reason : path + ": " + reason;
}

}  // namespace

OpenedLink::OpenedLink() = default;
OpenedLink::OpenedLink(OpenedLink&&) noexcept = default;
OpenedLink::~OpenedLink() = default;

std::variant<OpenedLink, Exit> OpenLink(const LinkChoice& choice) {
  OpenedLink opened;
  opened.port = choice.port;
  try {
    if (choice.usb) {
      if (choice.simulate) opened.usbInstrument = std::make_unique<sim::SimulatedCh375>();
      auto usb = std::make_unique<UsbLineLink>(
          opened.usbInstrument ? *opened.usbInstrument : link::SystemCh375Library(),
          choice.address);
      if (!usb->Open()) {
        return Exit{kCannotOpen,
                    "the USB device could not be opened: is it plugged in, and may you use it "
                    "(see zrt-panel(1))?"};
      }
      opened.link = std::move(usb);
    } else {
      if (choice.simulate) {
        opened.serialInstrument = std::make_unique<sim::SimulatedSerial>();
        opened.port = QString::fromStdString(opened.serialInstrument->PortName());
      }
      auto serial = std::make_unique<SerialLineLink>(opened.serialInstrument
                                                         ? opened.serialInstrument->Platform()
                                                         : link::SystemSerialPlatform(),
                                                     choice.address);
      serial->SetHoldLimit(choice.holdLimit);
      serial->Open(QFile::encodeName(opened.port).toStdString(), choice.baud);
      opened.link = std::move(serial);
    }
  } catch (const link::ECommsError& error) {
    return Exit{kCannotOpen, CannotOpen(error, opened.port)};
  } catch (const protocol::EConvertError& error) {
    return Exit{kUsage, QString::fromStdString(error.what())};
  } catch (const std::runtime_error& error) {  // whatever else refuses the link
    return Exit{kCannotOpen, QString::fromStdString(error.what())};
  }
  opened.link->Session().SetLimits(choice.limits);
  return opened;
}

}  // namespace zrt::cli
