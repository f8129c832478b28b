#include <windows.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>

#include "cli/stop_request.h"

namespace zrt::cli {

namespace {

// The console's handler runs on a thread of its own; it only posts to the
// object that says so on the event loop's thread.
std::atomic<StopRequest*> current{nullptr};

BOOL WINAPI Handle(DWORD event) {
  if (StopRequest* request = current.load()) {
    const int status = event == CTRL_C_EVENT ? 130 : 143;
    QMetaObject::invokeMethod(
        request, [request, status] { emit request->Requested(status); }, Qt::QueuedConnection);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

struct StopRequest::Platform {};

StopRequest::StopRequest(QObject* parent) : QObject(parent) {
  current = this;
  SetConsoleCtrlHandler(Handle, TRUE);
}

StopRequest::~StopRequest() {
  SetConsoleCtrlHandler(Handle, FALSE);
  current = nullptr;
}

}  // namespace zrt::cli
