#include "link/libusb_api.h"

#include <optional>
#include <type_traits>

#include "link/libusb_library.h"

namespace zrt::link {
namespace {

std::optional<LibusbApi> Load() {
  void* library = OpenLibusbLibrary();
  if (!library) return std::nullopt;
  LibusbApi api{};
  bool complete = true;
  auto bind = [&](auto& function, const char* name) {
    void* symbol = LibusbSymbol(library, name);
    function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(symbol);
    complete = complete && symbol;
  };
  bind(api.init, "libusb_init");
  bind(api.exit, "libusb_exit");
  bind(api.has_capability, "libusb_has_capability");
  bind(api.get_device_list, "libusb_get_device_list");
  bind(api.free_device_list, "libusb_free_device_list");
  bind(api.get_device_descriptor, "libusb_get_device_descriptor");
  bind(api.ref_device, "libusb_ref_device");
  bind(api.unref_device, "libusb_unref_device");
  bind(api.get_bus_number, "libusb_get_bus_number");
  bind(api.get_device_address, "libusb_get_device_address");
  bind(api.get_max_packet_size, "libusb_get_max_packet_size");
  bind(api.open, "libusb_open");
  bind(api.close, "libusb_close");
  bind(api.set_auto_detach_kernel_driver, "libusb_set_auto_detach_kernel_driver");
  bind(api.claim_interface, "libusb_claim_interface");
  bind(api.release_interface, "libusb_release_interface");
  bind(api.alloc_transfer, "libusb_alloc_transfer");
  bind(api.free_transfer, "libusb_free_transfer");
  bind(api.submit_transfer, "libusb_submit_transfer");
  bind(api.cancel_transfer, "libusb_cancel_transfer");
  bind(api.handle_events_timeout_completed, "libusb_handle_events_timeout_completed");
  bind(api.interrupt_event_handler, "libusb_interrupt_event_handler");
  bind(api.hotplug_register_callback, "libusb_hotplug_register_callback");
  bind(api.hotplug_deregister_callback, "libusb_hotplug_deregister_callback");
  if (!complete) return std::nullopt;
  return api;
}

}  // namespace

const LibusbApi* Libusb() {
  static const std::optional<LibusbApi> api = Load();
  return api ? &*api : nullptr;
}

}  // namespace zrt::link
