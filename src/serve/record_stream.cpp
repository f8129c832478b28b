#include "serve/record_stream.h"

#include <QSocketNotifier>
#include <array>

namespace zrt::serve {

RecordStream::RecordStream(net::StreamSocket socket, std::string peer, std::size_t mostRecord,
                           QObject* parent)
    : QObject(parent),
      socket_(std::move(socket)),
      peer_(std::move(peer)),
      records_(mostRecord),
      reading_(new QSocketNotifier(socket_.Native(), QSocketNotifier::Read, this)),
      writing_(new QSocketNotifier(socket_.Native(), QSocketNotifier::Write, this)) {
  writing_->setEnabled(false);
  connect(reading_, &QSocketNotifier::activated, this, &RecordStream::Readable);
  connect(writing_, &QSocketNotifier::activated, this, &RecordStream::Flush);
}

RecordStream::~RecordStream() { Close(); }

bool RecordStream::Local() const {
  return peer_.starts_with("127.") || peer_.starts_with("[::1]") ||
         peer_.starts_with("[::ffff:127.");
}

void RecordStream::Send(const rpc::Bytes& message) {
  if (!socket_) return;
  const rpc::Bytes marked = rpc::MarkRecord(message);
  output_.append(reinterpret_cast<const char*>(marked.data()),
                 static_cast<qsizetype>(marked.size()));
  Flush();
}

void RecordStream::Pause(bool paused) {
  if (socket_) reading_->setEnabled(!paused);
}

void RecordStream::Close() {
  if (!socket_) return;
  // A notifier goes before its socket, and not from inside its own signal.
  for (QSocketNotifier* notifier : {reading_, writing_}) {
    notifier->setEnabled(false);
    notifier->deleteLater();
  }
  socket_.Close();
}

void RecordStream::Fail() {
  Close();
  emit Ended();
}

void RecordStream::Readable() {
  std::array<char, 4096> bytes;
  const std::ptrdiff_t got = socket_.Read(bytes.data(), bytes.size());
  if (got == net::StreamSocket::kWouldBlock) return;
  if (got <= 0) return Fail();
  for (const rpc::Bytes& record : records_.Push(
           {reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::size_t>(got)})) {
    emit Record(record);
    if (!socket_) return;
  }
  if (records_.Failed()) Fail();
}

void RecordStream::Flush() {
  while (!output_.isEmpty()) {
    const std::ptrdiff_t put =
        socket_.Write(output_.constData(), static_cast<std::size_t>(output_.size()));
    if (put == net::StreamSocket::kFailed) return Fail();
    if (put == net::StreamSocket::kWouldBlock) break;
    output_.remove(0, put);
  }
  // One that asks without reading its answers is let go.
  if (output_.size() > kMostUnwritten) return Fail();
  writing_->setEnabled(!output_.isEmpty());
}

}  // namespace zrt::serve
