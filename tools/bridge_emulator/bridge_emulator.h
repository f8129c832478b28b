// The instrument's USB bridge emulated for libusb: a device 1a86:5537 in a
// umockdev testbed, whose usbfs requests are answered here. Writes to the
// bulk OUT endpoint are kept; reads of the bulk IN endpoint are served from
// what the test queues. The process must run under umockdev's preload
// library (umockdev-wrapper).
#pragma once

#include <QByteArray>
#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace zrt::tools {

class BridgeEmulator {
 public:
  BridgeEmulator();
  ~BridgeEmulator();
  BridgeEmulator(const BridgeEmulator&) = delete;
  BridgeEmulator& operator=(const BridgeEmulator&) = delete;

  // Whether the preload library is in place; nothing else works without it.
  static bool Available();

  // The device arrives at this address on bus 1 (a re-plug gets a new one).
  void Plug(int address = 2);
  // The device goes away: transfers end with "no device", and it leaves the bus.
  void Unplug();

  // What the instrument answers to the next reads, as one burst with what
  // is queued before it; with a pause, as a burst of its own that the
  // device starts sending `pause` after it has sent the one before.
  void QueueReply(const QByteArray& bytes,
                  std::chrono::milliseconds pause = std::chrono::milliseconds::zero());
  // The device takes at most `bytes` bytes of each later write (-1: all).
  void AcceptAtMost(int bytes);
  // Everything written to the bulk OUT endpoint, one entry per transfer.
  std::vector<QByteArray> Written() const;
  // Whether the interface was claimed and not released.
  bool Claimed() const;
  // Another program holds the interface: claiming it fails as busy.
  void HoldElsewhere(bool held);

 private:
  static int OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
  bool Handle(UMockdevIoctlClient* client);

  UMockdevTestbed* testbed_;
  std::string node_;  // the device's node while plugged in
  UMockdevIoctlBase* handler_;
  mutable std::mutex mutex_;
  bool gone_ = false;
  bool claimed_ = false;
  bool heldElsewhere_ = false;
  struct Burst {
    QByteArray bytes;
    std::chrono::milliseconds pause;
  };
  std::deque<Burst> reply_;
  std::chrono::steady_clock::time_point lastSent_;
  int acceptAtMost_ = -1;
  std::vector<QByteArray> written_;
  std::vector<UMockdevIoctlData*> done_;     // completed, waiting to be reaped
  std::vector<UMockdevIoctlData*> waiting_;  // reads waiting for reply bytes
};

}  // namespace zrt::tools
