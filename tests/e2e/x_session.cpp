#include "x_session.h"

#include <xcb/xcb.h>

#include <QElapsedTimer>
#include <QThread>
#include <cstdlib>
#include <cstring>

namespace zrt::e2e {
namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(reply);
  return atom;
}

}  // namespace

QByteArray RunTool(const QString& program, const QStringList& arguments,
                   const QProcessEnvironment& environment, int timeoutMs) {
  QProcess tool;
  tool.setProcessEnvironment(environment);
  tool.start(program, arguments);
  if (!tool.waitForFinished(timeoutMs)) {
    tool.kill();
    tool.waitForFinished();
    return {};
  }
  if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) return {};
  QByteArray out = tool.readAllStandardOutput();
  return out.isNull() ? QByteArray("") : out;
}

XSession::XSession() {
  // Xvfb picks a free display number and says which on the given descriptor.
  server_.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
  if (!server_.waitForStarted(10000)) return;
  QElapsedTimer clock;
  clock.start();
  while (!server_.canReadLine() && clock.elapsed() < 10000) server_.waitForReadyRead(100);
  const QByteArray number = server_.readLine().trimmed();
  if (number.isEmpty()) return;
  display_ = ":" + QString::fromLatin1(number);
  connection_ = xcb_connect(display_.toLatin1().constData(), nullptr);
  if (xcb_connection_has_error(connection_)) {
    xcb_disconnect(connection_);
    connection_ = nullptr;
  }
}

XSession::~XSession() {
  if (connection_) xcb_disconnect(connection_);
  server_.terminate();
  if (!server_.waitForFinished(5000)) server_.kill();
  server_.waitForFinished();
}

QProcessEnvironment XSession::Environment() const {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove("WAYLAND_DISPLAY");
  environment.insert("DISPLAY", display_);
  environment.insert("QT_QPA_PLATFORM", "xcb");
  environment.insert("XDG_CONFIG_HOME", config_.path());
  // In a sanitizer build the X platform's own libraries trip the strict
  // string checks (xkbcommon) and leak at exit (D-Bus), which would end the
  // panel before its window shows or spoil its exit status; our own code is
  // checked by the offscreen tests. Other builds ignore the variable.
  environment.insert("ASAN_OPTIONS", "detect_leaks=0");
  return environment;
}

QByteArray XSession::Xdotool(const QStringList& arguments) const {
  return RunTool("xdotool", arguments, Environment());
}

unsigned long XSession::WaitForWindow(const QString& title, int timeoutMs) const {
  QElapsedTimer clock;
  clock.start();
  do {
    const QByteArray found = Xdotool({"search", "--onlyvisible", "--name", title});
    if (!found.trimmed().isEmpty()) return found.trimmed().split('\n').first().toULong();
    QThread::msleep(50);
  } while (clock.elapsed() < timeoutMs);
  return 0;
}

int XSession::CountWindows(const QString& title) const {
  const QByteArray found = Xdotool({"search", "--onlyvisible", "--name", title}).trimmed();
  return found.isEmpty() ? 0 : static_cast<int>(found.split('\n').size());
}

QPoint XSession::Origin(unsigned long window) const {
  xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
      connection_,
      xcb_translate_coordinates(connection_, static_cast<xcb_window_t>(window),
                                xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root, 0,
                                0),
      nullptr);
  const QPoint origin = reply ? QPoint(reply->dst_x, reply->dst_y) : QPoint();
  std::free(reply);
  return origin;
}

QSize XSession::Size(unsigned long window) const {
  xcb_get_geometry_reply_t* reply = xcb_get_geometry_reply(
      connection_, xcb_get_geometry(connection_, static_cast<xcb_window_t>(window)), nullptr);
  const QSize size = reply ? QSize(reply->width, reply->height) : QSize();
  std::free(reply);
  return size;
}

void XSession::Click(QPoint p) const {
  Xdotool({"mousemove", QString::number(p.x()), QString::number(p.y()), "click", "1"});
}

void XSession::DoubleClick(QPoint p) const {
  Xdotool({"mousemove", QString::number(p.x()), QString::number(p.y()), "click", "--repeat", "2",
           "--delay", "80", "1"});
}

void XSession::Wheel(QPoint p, int notches) const {
  Xdotool({"mousemove", QString::number(p.x()), QString::number(p.y()), "click", "--repeat",
           QString::number(std::abs(notches)), "--delay", "10", notches > 0 ? "4" : "5"});
}

void XSession::Type(const QString& text) const { Xdotool({"type", "--delay", "5", text}); }

void XSession::Keys(const QString& keys) const { Xdotool({"key", keys}); }

QString XSession::Clipboard() const {
  return QString::fromUtf8(RunTool("xclip", {"-o", "-selection", "clipboard"}, Environment()));
}

QImage XSession::Grab(QRect area) const {
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  xcb_get_image_reply_t* reply = xcb_get_image_reply(
      connection_,
      xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root,
                    static_cast<std::int16_t>(area.x()), static_cast<std::int16_t>(area.y()),
                    static_cast<std::uint16_t>(area.width()),
                    static_cast<std::uint16_t>(area.height()), ~0u),
      nullptr);
  if (!reply) return {};
  // Xvfb's 24-bit screen comes as 32-bit pixels, blue first.
  QImage image(xcb_get_image_data(reply), area.width(), area.height(), area.width() * 4,
               QImage::Format_RGB32);
  QImage copy = image.copy();
  std::free(reply);
  return copy;
}

void XSession::Resize(unsigned long window, QSize size) const {
  Xdotool({"windowsize", QString::number(window), QString::number(size.width()),
           QString::number(size.height())});
}

void XSession::RequestClose(unsigned long window) const {
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = static_cast<xcb_window_t>(window);
  event.type = Atom(connection_, "WM_PROTOCOLS");
  event.data.data32[0] = Atom(connection_, "WM_DELETE_WINDOW");
  event.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(connection_, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&event));
  xcb_flush(connection_);
}

}  // namespace zrt::e2e
