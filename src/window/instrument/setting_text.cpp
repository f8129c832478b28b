#include "window/instrument/setting_text.h"

#include <QDateTime>

#include "settings/units.h"
#include "window/form/own_texts.h"

namespace zrt::window {
namespace {

using settings::ChannelQuantity;

constexpr std::pair<ChannelQuantity, OwnText> kQuantityNames[] = {
    {ChannelQuantity::Frequency, OwnText::ViewFrequency},
    {ChannelQuantity::Amplitude, OwnText::ViewAmplitude},
    {ChannelQuantity::Offset, OwnText::ViewOffset},
    {ChannelQuantity::Duty, OwnText::ViewDuty},
    {ChannelQuantity::Phase, OwnText::ViewPhase},
    {ChannelQuantity::Waveform, OwnText::ViewWaveform},
    {ChannelQuantity::Output, OwnText::ViewOutput},
    {ChannelQuantity::Harmonic, OwnText::ViewHarmonic},
};

// "text (a; b)", with the Chinese texts' full-width marks.
QString WithNotes(const QString& text, const QStringList& notes, Language language) {
  if (notes.isEmpty()) return text;
  if (language == Language::English) return text + " (" + notes.join("; ") + ")";
  return text + "（" + notes.join("；") + "）";
}

}  // namespace

namespace {

QString TimeOf(std::chrono::system_clock::time_point at) {
  return QDateTime::fromMSecsSinceEpoch(
             std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count())
      .toString("HH:mm:ss");
}

}  // namespace

OwnText QuantityName(ChannelQuantity quantity) {
  for (const auto& [which, text] : kQuantityNames) {
    if (which == quantity) return text;
  }
  return OwnText::ViewItem;
}

const settings::Setting* ChannelWaveform(const settings::InstrumentSettings& known,
                                         std::string_view function, std::string_view item) {
  const settings::Setting* number = known.Find(function, item);
  const settings::Setting* shape = known.Find(function, settings::kShapeItem);
  if (shape && shape->Current() && (!number || shape->changed > number->changed)) return shape;
  return number;
}

QString SettingText(const settings::Setting* setting, Language language) {
  const settings::Value* value = setting ? setting->Current() : nullptr;
  QStringList notes;
  if (setting && setting->unanswered) notes << TextIn(OwnText::ViewNoAnswer, language);
  if (!value) {
    return WithNotes(TextIn(OwnText::ViewUnknown, language), notes, language);
  }
  switch (setting->From()) {
    case settings::Source::Acknowledged:
      notes.prepend(TextIn(OwnText::ViewSet, language));
      break;
    case settings::Source::Unacknowledged:
      notes.prepend(TextIn(OwnText::ViewSetUnacknowledged, language));
      break;
    case settings::Source::ReadBack:
      notes.prepend(TextIn(OwnText::ViewReadBackAt, language).arg(TimeOf(setting->readAt)));
      break;
    case settings::Source::Unknown:
      break;
  }
  if (setting->stale) {
    notes << TextIn(OwnText::ViewStale, language).arg(TimeOf(setting->staleSince));
  }
  if (setting->Disagrees()) {
    notes << TextIn(OwnText::ViewDiffers, language).arg(QString::fromStdString(setting->set->text));
  }
  const QString text = QString::fromLatin1(value->text.data(), qsizetype(value->text.size()));
  return WithNotes((setting->Disagrees() ? "≠ " : "") + text, notes, language);
}

QString LimitsText(const guard::ChannelLimits& limits, Language language) {
  const auto quantity = [](double value, const char* unit) {
    return QString::fromStdString(settings::Quantity(value, unit));
  };
  QStringList parts;
  if (limits.maxFrequencyHz) parts << "≤ " + quantity(*limits.maxFrequencyHz, "Hz");
  if (limits.maxAmplitudeVpp) parts << "≤ " + quantity(*limits.maxAmplitudeVpp, "Vpp");
  if (limits.minOffsetV || limits.maxOffsetV) {
    parts << (limits.minOffsetV ? quantity(*limits.minOffsetV, "V") : QString("…")) + " … " +
                 (limits.maxOffsetV ? quantity(*limits.maxOffsetV, "V") : QString("…"));
  }
  return parts.isEmpty() ? TextIn(OwnText::ViewNoLimits, language) : parts.join(", ");
}

}  // namespace zrt::window
