// libusb's functions, loaded when first needed rather than by the program
// loader: the window watches for the USB bridge only once it has first
// painted, so its start neither waits for libusb and the libraries it pulls
// in nor holds their pages.
#pragma once

#include <libusb.h>

namespace zrt::link {

struct LibusbApi {
  decltype(&libusb_init) init;
  decltype(&libusb_exit) exit;
  decltype(&libusb_has_capability) has_capability;
  decltype(&libusb_get_device_list) get_device_list;
  decltype(&libusb_free_device_list) free_device_list;
  decltype(&libusb_get_device_descriptor) get_device_descriptor;
  decltype(&libusb_ref_device) ref_device;
  decltype(&libusb_unref_device) unref_device;
  decltype(&libusb_get_bus_number) get_bus_number;
  decltype(&libusb_get_device_address) get_device_address;
  decltype(&libusb_get_max_packet_size) get_max_packet_size;
  decltype(&libusb_open) open;
  decltype(&libusb_close) close;
  decltype(&libusb_set_auto_detach_kernel_driver) set_auto_detach_kernel_driver;
  decltype(&libusb_claim_interface) claim_interface;
  decltype(&libusb_release_interface) release_interface;
  decltype(&libusb_alloc_transfer) alloc_transfer;
  decltype(&libusb_free_transfer) free_transfer;
  decltype(&libusb_submit_transfer) submit_transfer;
  decltype(&libusb_cancel_transfer) cancel_transfer;
  decltype(&libusb_handle_events_timeout_completed) handle_events_timeout_completed;
  decltype(&libusb_interrupt_event_handler) interrupt_event_handler;
  decltype(&libusb_hotplug_register_callback) hotplug_register_callback;
  decltype(&libusb_hotplug_deregister_callback) hotplug_deregister_callback;
};

// libusb's functions, loaded on the first call (from any thread) and kept
// for the life of the process; nullptr when the library or one of the
// functions is missing, so that USB then fails as with no device.
const LibusbApi* Libusb();

}  // namespace zrt::link
