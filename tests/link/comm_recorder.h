// Records every signal of a TComm in the order it arrives.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QTest>
#include <functional>
#include <vector>

#include "link/tcomm.h"

namespace zrt::link::testing {

struct CommEvent {
  enum Kind { Data, Error, Modem, Hangup, Empty, Held } kind;
  QByteArray data{};
  quint32 value = 0;
  bool zeroAfter = false;  // the byte after the data was 0
};

class CommRecorder {
 public:
  explicit CommRecorder(TComm& comm) {
    QObject::connect(&comm, &TComm::OnReceiveData, [this](const QByteArray& data) {
      events.push_back({CommEvent::Data, data, 0, data.constData()[data.size()] == '\0'});
    });
    QObject::connect(&comm, &TComm::OnReceiveError, [this](quint32 v) {
      events.push_back({CommEvent::Error, {}, v});
    });
    QObject::connect(&comm, &TComm::OnModemStateChange, [this](quint32 v) {
      events.push_back({CommEvent::Modem, {}, v});
    });
    QObject::connect(&comm, &TComm::OnRequestHangup,
                     [this] { events.push_back({CommEvent::Hangup}); });
    QObject::connect(&comm, &TComm::OnSendDataEmpty,
                     [this] { events.push_back({CommEvent::Empty}); });
    QObject::connect(&comm, &TComm::OnOutputHeld, [this](bool held) {
      events.push_back({CommEvent::Held, {}, held ? 1u : 0u});
    });
  }

  int Count(CommEvent::Kind kind) const {
    int n = 0;
    for (const CommEvent& e : events) n += e.kind == kind;
    return n;
  }

  QByteArray Received() const {
    QByteArray all;
    for (const CommEvent& e : events) {
      if (e.kind == CommEvent::Data) all += e.data;
    }
    return all;
  }

  std::vector<qsizetype> BlockSizes() const {
    std::vector<qsizetype> sizes;
    for (const CommEvent& e : events) {
      if (e.kind == CommEvent::Data) sizes.push_back(e.data.size());
    }
    return sizes;
  }

  // Runs the event loop until `condition` holds; false after `ms`.
  static bool WaitFor(const std::function<bool()>& condition, int ms = 10000) {
    return QTest::qWaitFor(condition, ms);
  }

  bool WaitForReceived(qsizetype bytes, int ms = 10000) const {
    return WaitFor([&] { return Received().size() >= bytes; }, ms);
  }

  std::vector<CommEvent> events;
};

}  // namespace zrt::link::testing
