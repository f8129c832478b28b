#include "window/remembered_settings.h"

#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>

#include "window/main_window.h"
#include "window/radio_group.h"

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

RememberedSettings::RememberedSettings(TForm1& form, QSettings& settings)
    : QObject(&form), form_(form), settings_(settings) {
  Restore();
  Follow();
}

void RememberedSettings::Restore() {
  damaged_ = settings_.status() != QSettings::NoError;
  auto* ports = qobject_cast<QComboBox*>(form_.Control("cbo1"));
  auto* rates = qobject_cast<QComboBox*>(form_.Control("cob2"));
  auto* address = qobject_cast<QLineEdit*>(form_.Control("Edit2"));
  auto* interface = qobject_cast<RadioGroup*>(form_.Control("rg2"));

  // A port named is shown, not opened: it may be gone, and opening is the
  // operator's to do.
  if (const auto port = TextOf(settings_.value(kPort))) ports->setEditText(*port);
  if (const auto rate = TextOf(settings_.value(kBaudRate))) rates->setEditText(*rate);
  if (const auto text = TextOf(settings_.value(kAddress))) address->setText(*text);
  if (const auto index = IndexOf(settings_.value(kInterface), interface->ItemCount())) {
    interface->SetItemIndex(*index);
  }
  if (const auto index = IndexOf(settings_.value(kLanguage), kLanguageCount)) {
    form_.SelectLanguage(static_cast<Language>(*index));
  }
  const QVariant history = settings_.value(kHistory);
  if (history.canConvert<QStringList>()) {
    QStringList lines = history.toStringList();
    lines.removeIf([](const QString& line) { return line.size() > kLongestText; });
    form_.History().SetLines(lines);
  }
  bool ok = false;
  if (const int height = settings_.value(kLogHeight).toInt(&ok);
      ok && height > 0 && height <= kTallestLog) {
    form_.SetLogHeight(height);
  }
  if (const QVariant shown = settings_.value(kLogShown); shown.typeId() == QMetaType::Bool ||
                                                         shown.toString() == "true" ||
                                                         shown.toString() == "false") {
    form_.SetLogShown(shown.toBool());
  }
  const QPoint position = settings_.value(kPosition).toPoint();
  // Only where a screen still shows the window's corner.
  if (settings_.contains(kPosition) && QGuiApplication::screenAt(position)) form_.move(position);
}

void RememberedSettings::Follow() {
  auto* ports = qobject_cast<QComboBox*>(form_.Control("cbo1"));
  auto* rates = qobject_cast<QComboBox*>(form_.Control("cob2"));
  auto* address = qobject_cast<QLineEdit*>(form_.Control("Edit2"));
  auto* interface = qobject_cast<RadioGroup*>(form_.Control("rg2"));
  auto* language = qobject_cast<RadioGroup*>(form_.Control("rg3"));
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
  connect(&form_, &TForm1::LineSent, this, [this] { Store(kHistory, form_.History().Lines()); });
  connect(&form_, &TForm1::LogLayoutChanged, this, [this] {
    Store(kLogShown, form_.LogShown());
    Store(kLogHeight, form_.LogHeight());
  });
  form_.installEventFilter(this);
}

bool RememberedSettings::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &form_ && event->type() == QEvent::Move && form_.isVisible()) {
    Store(kPosition, form_.pos());
  }
  return QObject::eventFilter(watched, event);
}

void RememberedSettings::Store(const char* key, const QVariant& value) {
  settings_.setValue(key, value);
}

}  // namespace zrt::window
