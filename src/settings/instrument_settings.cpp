#include "settings/instrument_settings.h"

#include <algorithm>
#include <cmath>

#include "settings/shape_items.h"

namespace zrt::settings {
namespace {

bool IsShapeCommand(std::string_view item) { return FindShapeItem(item) != nullptr; }

}  // namespace

Source Setting::From() const {
  if (read && (readLast || !set)) return Source::ReadBack;
  if (set) return acknowledged ? Source::Acknowledged : Source::Unacknowledged;
  return Source::Unknown;
}

const Value* Setting::Current() const {
  if (read && (readLast || !set)) return &*read;
  return set ? &*set : nullptr;
}

bool Setting::Disagrees() const {
  if (!set || !read || !readLast) return false;
  const double scale = std::max(std::fabs(set->number), std::fabs(read->number));
  return std::fabs(set->number - read->number) > 1e-9 * scale + 1e-12;
}

bool Acknowledges(std::string_view reply) {
  while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r' || reply.back() == ' ')) {
    reply.remove_suffix(1);
  }
  return reply.size() == 2 && (reply[0] == 'O' || reply[0] == 'o') &&
         (reply[1] == 'K' || reply[1] == 'k');
}

bool InstrumentSettings::RecordReply(std::string_view line, std::string_view reply,
                                     std::chrono::system_clock::time_point at) {
  const auto reading = ReadLine(line);
  if (!reading) return false;
  if (reading->value) {
    Set(*reading, Acknowledges(reply));
    Entry(*reading).answered = true;
    return true;
  }
  if (!reading->query) {
    if (!IsShapeCommand(reading->item)) return false;
    LineReading shape = *reading;
    shape.item = kShapeItem;
    shape.value = Value{reading->item, {}, 0};
    Set(shape, Acknowledges(reply));
    Entry(shape).answered = true;
    return true;
  }
  Setting& setting = Entry(*reading);
  setting.changed = ++changes_;
  auto value = ReadValue(reading->itemCode, reply);
  setting.unanswered = !value;
  if (value) {
    setting.read = std::move(value);
    setting.readAt = at;
    setting.readLast = true;
    setting.stale = false;
  }
  return true;
}

bool InstrumentSettings::RecordSent(std::string_view line) {
  const auto reading = ReadLine(line);
  if (!reading || !reading->value) return false;
  Set(*reading, false);
  return true;
}

void InstrumentSettings::Set(const LineReading& reading, bool acknowledged) {
  Setting& setting = Entry(reading);
  setting.changed = ++changes_;
  setting.set = reading.value;
  setting.acknowledged = acknowledged;
  setting.answered = false;
  setting.readLast = false;
  setting.stale = false;
}

void InstrumentSettings::MarkStale(std::chrono::system_clock::time_point at) {
  for (Setting& setting : settings_) {
    if (setting.stale) continue;
    setting.stale = true;
    setting.staleSince = at;
  }
}

const Setting* InstrumentSettings::Find(std::string_view function, std::string_view item) const {
  const auto it = std::find_if(settings_.begin(), settings_.end(), [&](const Setting& setting) {
    return setting.function == function && setting.item == item;
  });
  return it != settings_.end() ? &*it : nullptr;
}

Setting& InstrumentSettings::Entry(const LineReading& reading) {
  if (const Setting* known = Find(reading.function, reading.item)) {
    return settings_[static_cast<std::size_t>(known - settings_.data())];
  }
  Setting& added = settings_.emplace_back();
  added.function = reading.function;
  added.item = reading.item;
  added.itemCode = reading.itemCode;
  return added;
}

}  // namespace zrt::settings
