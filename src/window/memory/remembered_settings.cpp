#include "window/memory/remembered_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>
#include <functional>
#include <utility>

#include "guard/limits.h"
#include "window/form/own_texts.h"
#include "window/form/radio_group.h"
#include "window/instrument/instrument_control.h"
#include "window/log/log_area.h"
#include "window/log/session_log.h"
#include "window/port/port_control.h"
#include "window/port/share_control.h"
#include "window/send/command_history.h"

namespace zrt::window {
namespace {

// Keys of the settings file.
constexpr char kPort[] = "port";
constexpr char kBaudRate[] = "baudRate";
constexpr char kAddress[] = "address";
constexpr char kLanguage[] = "language";
constexpr char kInterface[] = "interface";
constexpr char kPosition[] = "windowPosition";
constexpr char kHistory[] = "history";
constexpr char kLogShown[] = "logShown";
constexpr char kLogHeight[] = "logHeight";
constexpr char kInstrumentHeight[] = "instrumentHeight";
constexpr char kReopenPorts[] = "reopenPorts";
constexpr char kLogToFile[] = "logToFile";
constexpr char kShared[] = "shareInstrument";
constexpr char kSharedScpi[] = "shareSpeaksScpi";
constexpr char kInstrumentShown[] = "instrumentShown";
constexpr char kLimits[] = "limits";
// A log height a screen could show.
constexpr int kTallestLog = 4000;

// A text setting as long as a person would type.
constexpr qsizetype kLongestText = 4096;

std::optional<QString> TextOf(const QVariant& value) {
  if (!value.isValid() || !value.canConvert<QString>()) return std::nullopt;
  QString text = value.toString();
  if (text.isEmpty() || text.size() > kLongestText) return std::nullopt;
  return text;
}

std::optional<int> IndexOf(const QVariant& value, int count) {
  bool ok = false;
  const int index = value.toInt(&ok);
  if (!ok || index < 0 || index >= count) return std::nullopt;
  return index;
}

}  // namespace

RememberedSettings::RememberedSettings(Parts parts, QSettings& settings)
    : QObject(&parts.window), parts_(std::move(parts)), settings_(settings) {
  Restore();
  Follow();
}

void RememberedSettings::Restore() {
  settings_.sync();  // reads the file now, so that its state is known
  bool refused = settings_.status() != QSettings::NoError;
  // Applies a stored value that makes sense; one that is there but does not
  // leaves the window's own, and is noted.
  auto take = [&](const char* key, const std::function<bool(const QVariant&)>& apply) {
    if (settings_.contains(key) && !apply(settings_.value(key))) refused = true;
  };
  QComboBox* ports = &parts_.port;
  QComboBox* rates = &parts_.rate;
  QLineEdit* address = &parts_.address;
  RadioGroup* interface = &parts_.interface;

  // A port named is shown, not opened: it may be gone, and opening is the
  // operator's to do.
  take(kPort, [&](const QVariant& v) {
    const auto port = TextOf(v);
    if (port) ports->setEditText(*port);
    return port.has_value();
  });
  take(kBaudRate, [&](const QVariant& v) {
    const auto rate = TextOf(v);
    if (rate) rates->setEditText(*rate);
    return rate.has_value();
  });
  take(kAddress, [&](const QVariant& v) {
    const auto text = TextOf(v);
    if (text) address->setText(*text);
    return text.has_value();
  });
  take(kInterface, [&](const QVariant& v) {
    const auto index = IndexOf(v, interface->ItemCount());
    if (index) interface->SetItemIndex(*index);
    return index.has_value();
  });
  take(kLanguage, [&](const QVariant& v) {
    const auto index = IndexOf(v, kLanguageCount);
    if (index) parts_.selectLanguage(static_cast<Language>(*index));
    return index.has_value();
  });
  take(kHistory, [&](const QVariant& v) {
    if (v.typeId() != QMetaType::QStringList && v.typeId() != QMetaType::QString) return false;
    QStringList lines = v.toStringList();
    lines.removeIf([](const QString& line) { return line.size() > kLongestText; });
    parts_.history.SetLines(lines);
    return true;
  });
  for (const auto& [key, page] : {std::pair{kLogHeight, LogArea::Page::Log},
                                  std::pair{kInstrumentHeight, LogArea::Page::View}}) {
    take(key, [&, page = page](const QVariant& v) {
      bool ok = false;
      const int height = v.toInt(&ok);
      if (!ok || height <= 0 || height > kTallestLog) return false;
      parts_.area.SetHeight(page, height);
      return true;
    });
  }
  take(kLogShown, [&](const QVariant& v) {
    const QString text = v.toString();
    if (text != "true" && text != "false") return false;
    parts_.area.SetShown(text == "true");
    return true;
  });
  take(kInstrumentShown, [&](const QVariant& v) {
    const QString text = v.toString();
    if (text != "true" && text != "false") return false;
    if (text == "true") parts_.area.SetViewShown(true);
    return true;
  });
  // As the limits file of zrt-send and zrt-serve has them.
  take(kLimits, [&](const QVariant& v) {
    if (v.typeId() != QMetaType::QString || v.toString().size() > kLongestText) return false;
    // Limits taken off are kept as sections without keys: no limits, as meant.
    if (v.toString().toStdString() == guard::WriteLimits({})) return true;
    const auto limits = guard::ReadLimits(v.toString().toStdString());
    if (!std::holds_alternative<guard::Limits>(limits)) return false;
    parts_.instrument.SetLimits(std::get<guard::Limits>(limits));
    return true;
  });
  take(kReopenPorts, [&](const QVariant& v) {
    const QString text = v.toString();
    if (text != "true" && text != "false") return false;
    parts_.ports.SetReopens(text == "true");
    return true;
  });
  take(kLogToFile, [&](const QVariant& v) {
    const QString text = v.toString();
    if (text != "true" && text != "false") return false;
    parts_.area.SetToFile(text == "true");
    return true;
  });
  take(kSharedScpi, [&](const QVariant& v) {  // before sharing starts
    const QString text = v.toString();
    if (text != "true" && text != "false") return false;
    parts_.sharing.SetScpi(text == "true");
    return true;
  });
  take(kShared, [&](const QVariant& v) {
    const QString text = v.toString();
    if (text != "true" && text != "false") return false;
    parts_.sharing.SetOn(text == "true");
    return true;
  });
  // Only where a screen still shows the window's corner.
  take(kPosition, [&](const QVariant& v) {
    const QPoint position = v.toPoint();
    if (!v.canConvert<QPoint>() || !QGuiApplication::screenAt(position)) return false;
    parts_.window.move(position);
    return true;
  });

  damaged_ = refused;
  if (damaged_) {
    parts_.area.Log().Append(
        {QDateTime::currentDateTime(),
         LogEntry::Kind::Event,
         {},
         {},
         TextIn(OwnText::SettingsDamaged, parts_.language()).arg(settings_.fileName())});
  }
}

void RememberedSettings::Follow() {
  QComboBox* ports = &parts_.port;
  QComboBox* rates = &parts_.rate;
  QLineEdit* address = &parts_.address;
  RadioGroup* interface = &parts_.interface;
  RadioGroup* language = &parts_.languageChoice;

  connect(ports, &QComboBox::editTextChanged, this,
          [this](const QString& text) { Store(kPort, text); });
  connect(rates, &QComboBox::editTextChanged, this,
          [this](const QString& text) { Store(kBaudRate, text); });
  connect(address, &QLineEdit::textChanged, this,
          [this](const QString& text) { Store(kAddress, text); });
  connect(interface, &RadioGroup::Clicked, this,
          [this, interface] { Store(kInterface, interface->ItemIndex()); });
  connect(language, &RadioGroup::Clicked, this,
          [this, language] { Store(kLanguage, language->ItemIndex()); });
  connect(&parts_.area, &LogArea::LayoutChanged, this, [this] {
    const LogArea& area = parts_.area;
    Store(kLogShown, area.Shown());
    Store(kInstrumentShown, area.ViewShown());
    Store(kLogHeight, area.Height(LogArea::Page::Log));
    if (const int height = area.Height(LogArea::Page::View); height > 0) {
      Store(kInstrumentHeight, height);
    }
  });
  connect(&parts_.ports.ReopenSwitch(), &QCheckBox::toggled, this,
          [this](bool reopen) { Store(kReopenPorts, reopen); });
  connect(&parts_.area, &LogArea::ToFileChanged, this, [this](bool on) { Store(kLogToFile, on); });
  connect(&parts_.sharing, &ShareControl::Changed, this, [this](bool on) { Store(kShared, on); });
  connect(&parts_.sharing, &ShareControl::ScpiChanged, this,
          [this](bool scpi) { Store(kSharedScpi, scpi); });
  connect(&parts_.instrument, &InstrumentControl::LimitsChanged, this,
          [this](const guard::Limits& limits) {
            Store(kLimits, QString::fromStdString(guard::WriteLimits(limits)));
          });
  parts_.window.installEventFilter(this);
}

void RememberedSettings::HistoryChanged() { Store(kHistory, parts_.history.Lines()); }

bool RememberedSettings::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &parts_.window && event->type() == QEvent::Move && parts_.window.isVisible()) {
    Store(kPosition, parts_.window.pos());
  }
  return QObject::eventFilter(watched, event);
}

void RememberedSettings::Store(const char* key, const QVariant& value) {
  settings_.setValue(key, value);
  // The first change finds out whether they can be kept at all (a portable
  // copy on a read-only medium, say), and says so once.
  if (std::exchange(writeChecked_, true)) return;
  settings_.sync();
  if (settings_.status() != QSettings::AccessError) return;
  parts_.area.Log().Append(
      {QDateTime::currentDateTime(),
       LogEntry::Kind::Event,
       {},
       {},
       TextIn(OwnText::SettingsUnwritable, parts_.language()).arg(settings_.fileName())});
}

}  // namespace zrt::window
