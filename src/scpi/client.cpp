#include "scpi/client.h"

#include <cmath>
#include <cstdio>

#include "compose/key_vocabulary.h"
#include "guard/guard.h"
#include "scpi/basic_wave.h"
#include "scpi/parameters.h"
#include "scpi/values.h"
#include "settings/shape_items.h"
#include "settings/units.h"

namespace zrt::scpi {
namespace {

// SCPI's shapes, what the instrument's shape items are, and their names in
// the [waveforms] section of a server's configuration.
struct ScpiShape {
  std::string_view mnemonic;  // as a parameter: "SINusoid"
  std::string_view answer;    // as FUNC? answers
  settings::Shape shape;
  std::string_view waveform;  // the key in [waveforms]
};
constexpr ScpiShape kShapes[] = {
    {"SINusoid", "SIN", settings::Shape::Sine, "sine"},
    {"SQUare", "SQU", settings::Shape::Square, "square"},
    {"TRIangle", "TRI", settings::Shape::Triangle, "triangle"},
    {"RAMP", "RAMP", settings::Shape::Ramp, "ramp"},
    {"NOISe", "NOIS", settings::Shape::Noise, "noise"},
    {"ARBitrary", "ARB", settings::Shape::Unknown, "arb"},
};

constexpr std::string_view kNotANumber = "9.91E+37";

char Letter(int channel) { return channel == 2 ? 'B' : 'A'; }
std::string FunctionOf(int channel) { return channel == 2 ? "CHB" : "CHA"; }

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.10E", value);
  return text;
}

std::string Written(const ProgramUnit& unit) {
  std::string text;
  for (const std::string& node : unit.nodes) text += (text.empty() ? "" : ":") + node;
  if (unit.query) text += '?';
  if (!unit.parameters.empty()) text += " " + unit.parameters;
  return text;
}

bool TakesNoParameter(Command command) {
  switch (command) {
    case Command::Identify:
    case Command::Reset:
    case Command::ClearStatus:
    case Command::Wait:
    case Command::EventStatus:
    case Command::StatusByte:
    case Command::ErrorNext:
    case Command::ErrorCount:
    case Command::Version:
    case Command::OperationComplete:
    case Command::Trigger:
    case Command::MeasureFrequency:
      return true;
    default:
      return false;
  }
}

// The unit group of a channel's frequency, which the counter reads in.
int FrequencyGroup() { return compose::FindKey(*ItemKeyFor(Command::Frequency, 1))->unitGroup; }

Error Conflict() { return {-221, "Settings conflict"}; }

// -221 for a setting the channel has no item for, naming what it lacks.
Error NoItem(Command command, int channel, AmplitudeUnit unit = AmplitudeUnit::Vpp) {
  std::string_view what = "such item";
  switch (command) {
    case Command::Offset:
      what = "offset";
      break;
    case Command::Amplitude:
      what = unit == AmplitudeUnit::Vrms ? "amplitude in Vrms" : "amplitude";
      break;
    case Command::DutyCycle:
      what = "duty cycle";
      break;
    case Command::Phase:
      what = "phase";
      break;
    case Command::Frequency:
      what = "frequency";
      break;
    case Command::Output:
      what = "output switch";
      break;
    default:
      break;
  }
  return {-221, "Settings conflict; channel " + std::string(1, Letter(channel)) + " has no " +
                    std::string(what)};
}
Error Illegal() { return {-224, "Illegal parameter value"}; }

}  // namespace

std::string DefaultIdentity(std::string_view version) {
  return "zrt-panel,ZRT10XX/ZRT30XX,0," + std::string(version);
}

namespace {

// Adds a unit's pieces, or its refusal, to its message's work; false when
// a command error ends the message there: one that cannot be executed
// ends only its own unit.
bool AddUnit(std::vector<Work>& work, std::variant<std::vector<Work>, Error> pieces,
             std::string written) {
  if (const auto* error = std::get_if<Error>(&pieces)) {
    work.push_back({.kind = Work::Kind::Refuse, .error = *error, .unit = std::move(written)});
    return !(error->code <= -100 && error->code > -200);
  }
  auto& done = std::get<std::vector<Work>>(pieces);
  // Taken, with nothing to do (a load, an output already off): logged all the same.
  if (done.empty()) done.push_back({.kind = Work::Kind::Local, .command = Command::Wait});
  done.front().unit = std::move(written);
  for (Work& piece : done) work.push_back(std::move(piece));
  return true;
}

}  // namespace

std::vector<Work> Client::Take(std::string_view message, std::string_view address,
                               const guard::Limits& limits) {
  if (IsBasicWave(message)) return TakeBasicWave(message, address, limits);
  std::vector<Work> work;
  for (const auto& cut : CutMessage(message)) {
    if (const auto* error = std::get_if<Error>(&cut)) {
      work.push_back({.kind = Work::Kind::Refuse, .error = *error, .unit = std::string(message)});
      break;
    }
    const auto& unit = std::get<ProgramUnit>(cut);
    if (!AddUnit(work, WorkOf(unit, address, limits), Written(unit))) break;
  }
  return work;
}

std::variant<std::vector<Work>, Error> Client::WorkOf(const ProgramUnit& unit,
                                                      std::string_view address,
                                                      const guard::Limits& limits) {
  using Works = std::vector<Work>;
  const auto named = NameCommand(unit);
  if (const auto* error = std::get_if<Error>(&named)) return *error;
  const Named& command = std::get<Named>(named);
  const auto split = SplitParameters(unit.parameters);
  if (const auto* error = std::get_if<Error>(&split)) return *error;
  const auto& parameters = std::get<std::vector<std::string>>(split);
  if (command.command == Command::Apply && !command.query) {
    return Apply(address, command, parameters, limits);
  }
  if (parameters.size() > 1 || (TakesNoParameter(command.command) && !parameters.empty())) {
    return Error{-108, "Parameter not allowed"};
  }
  const std::string parameter = parameters.empty() ? std::string() : parameters.front();
  Work local{.kind = Work::Kind::Local,
             .command = command.command,
             .channel = command.channel,
             .query = command.query,
             .parameter = parameter};
  auto one = [](std::variant<Work, Error> work) -> std::variant<Works, Error> {
    if (const auto* error = std::get_if<Error>(&work)) return *error;
    return Works{std::move(std::get<Work>(work))};
  };
  switch (command.command) {
    case Command::Reset:
      if (!face_.resetConfigured) return Error{-200, "Execution error; no reset state configured"};
      return Works{{.kind = Work::Kind::Reset, .command = command.command}};
    case Command::EventStatusEnable:
      if (!command.query && parameter.empty()) return Error{-109, "Missing parameter"};
      return Works{local};
    case Command::VoltageUnit:
      if (command.query) {
        // The unit as it stands here: a unit set later in the message
        // is taken before this piece's turn comes.
        local.parameter = amplitude_[command.channel - 1] == AmplitudeUnit::Vrms ? "VRMS" : "VPP";
        return Works{local};
      }
      if (IsCharacterData(parameter, "VPP")) {
        amplitude_[command.channel - 1] = AmplitudeUnit::Vpp;
      } else if (IsCharacterData(parameter, "VRMS")) {
        amplitude_[command.channel - 1] = AmplitudeUnit::Vrms;
      } else {
        return parameter.empty() ? Error{-109, "Missing parameter"} : Illegal();
      }
      return Works{local};
    case Command::Shape:
      if (command.query) return Works{local};
      if (parameter.empty()) return Error{-109, "Missing parameter"};
      return one(ShapeSetting(address, command.channel, parameter));
    case Command::Apply: {
      // "SIN +1.0000000000E+03,+2.0000000000E+00,+0.0000000000E+00", one answer.
      Works pieces;
      pieces.push_back({.kind = Work::Kind::Local,
                        .command = Command::Shape,
                        .channel = command.channel,
                        .before = "\""});
      const Command asked[] = {Command::Frequency, Command::Amplitude, Command::Offset};
      for (const Command each : asked) {
        const auto item = ItemKeyFor(each, command.channel);
        Work piece = item ? Work{.kind = Work::Kind::Ask,
                                 .line = QueryLine(address, command.channel, *item),
                                 .command = each,
                                 .channel = command.channel,
                                 .query = true,
                                 .itemKey = *item}
                          // Channel B has no offset of its own: it is none.
                          : Work{.kind = Work::Kind::Local,
                                 .command = Command::Apply,
                                 .channel = command.channel,
                                 .parameter = "+0.0000000000E+00"};
        piece.before = each == Command::Frequency ? " " : ",";
        piece.joins = true;
        pieces.push_back(std::move(piece));
      }
      pieces.back().after = "\"";
      return pieces;
    }
    case Command::MeasureFrequency: {
      // The counter's reading, in Hz whatever unit it comes in.
      const auto placed = PlaceOf(command.command, command.channel, sweep_);
      if (!placed) return Conflict();
      Works counter;
      counter.push_back({.kind = Work::Kind::Ask,
                         .line = QueryLineIn(address, placed->function, placed->itemKey),
                         .command = command.command,
                         .channel = command.channel,
                         .query = true,
                         .itemKey = placed->itemKey,
                         .replyGroup = FrequencyGroup()});
      return counter;
    }
    case Command::Trigger:
      return one(TriggerWork(address, command.channel));
    default:
      break;
  }
  if (RoleOf(command.command) == Role::State) {
    if (!command.query) return ModeSetting(address, command, parameter);
    if (!parameter.empty()) return Error{-108, "Parameter not allowed"};
    // As this client last set it: no item of the instrument's tells it.
    const auto mode = ModeOf(command.command, command.channel, sweep_);
    local.parameter = mode && mode_[command.channel - 1] == mode->function ? "1" : "0";
    return Works{local};
  }
  const bool own = RoleOf(command.command) == Role::Own;
  if (!own && RoleOf(command.command) != Role::Placed) return Works{local};  // answered here
  if (!own && !PlaceOf(command.command, command.channel, sweep_)) return Conflict();
  if (!command.query) {
    if (parameter.empty()) return Error{-109, "Missing parameter"};
    if (command.command == Command::FrequencyStart || command.command == Command::FrequencyStop) {
      sweep_ = "FSWP";
    } else if (command.command == Command::VoltageStart ||
               command.command == Command::VoltageStop) {
      sweep_ = "ASWP";
    }
    return one(own ? Setting(address, command, parameter, limits)
                   : PlacedSetting(address, command, parameter, limits));
  }
  if (!parameter.empty()) {
    if (!ReadSpecial(parameter)) return Illegal();
    return Works{local};
  }
  if (!own) {
    const auto placed = PlaceOf(command.command, command.channel, sweep_);
    return Works{{.kind = Work::Kind::Ask,
                  .line = QueryLineIn(address, placed->function, placed->itemKey),
                  .command = command.command,
                  .channel = command.channel,
                  .query = true,
                  .itemKey = placed->itemKey,
                  .reciprocal = placed->reciprocal}};
  }
  if (const auto item =
          ItemKeyFor(command.command, command.channel, amplitude_[command.channel - 1])) {
    return Works{{.kind = Work::Kind::Ask,
                  .line = QueryLine(address, command.channel, *item),
                  .command = command.command,
                  .channel = command.channel,
                  .query = true,
                  .itemKey = *item}};
  }
  return NoItem(command.command, command.channel, amplitude_[command.channel - 1]);
}

std::optional<double> Client::Bound(const Named& named, Special special,
                                    const guard::Limits& limits) const {
  const guard::ChannelLimits& of = named.channel == 2 ? limits.b : limits.a;
  const bool most = special == Special::Maximum;
  const std::string_view name = RangeOf(named.command);
  if (name.empty()) return std::nullopt;
  // The limits bound what reaches an output's frequency, amplitude and offset.
  std::optional<double> limit;
  if (name == "frequency_hz" && most) limit = of.maxFrequencyHz;
  if (name == "amplitude_vpp" && most) limit = of.maxAmplitudeVpp;
  if (name == "offset_v") limit = most ? of.maxOffsetV : of.minOffsetV;
  std::optional<double> range;
  const auto found = face_.ranges.find((most ? "max_" : "min_") + std::string(name));
  if (found != face_.ranges.end()) range = found->second;
  if (range && limit) return most ? std::min(*range, *limit) : std::max(*range, *limit);
  return range ? range : limit;
}

std::variant<Work, Error> Client::Setting(std::string_view address, const Named& named,
                                          std::string_view parameter, const guard::Limits& limits) {
  Value value{0, amplitude_[named.channel - 1]};
  if (const auto special = ReadSpecial(parameter)) {
    const auto limit = Bound(named, *special, limits);
    if (!limit) return Illegal();
    value = {*limit, AmplitudeUnit::Vpp};
  } else {
    const auto read = ValueOf(named.quantity, parameter, value.amplitude);
    if (const auto* error = std::get_if<Error>(&read)) return *error;
    value = std::get<Value>(read);
  }
  const auto item = ItemKeyFor(named.command, named.channel, value.amplitude);
  if (!item) return NoItem(named.command, named.channel, value.amplitude);
  // What an item can be holds with or without limits.
  const std::string function = FunctionOf(named.channel);
  if (const guard::GuardedItem* row = guard::FindItem(function, compose::KeyText(*item))) {
    if (const auto breach =
            guard::OutOfDomain(row->effect, function, compose::KeyText(*item), value.number)) {
      return Error{-222, "Data out of range; " + guard::Describe(*breach)};
    }
  }
  const auto line = SetLine(address, named.channel, *item, value.number);
  if (!line) return Error{-222, "Data out of range"};
  return Work{.kind = Work::Kind::Send,
              .line = *line,
              .command = named.command,
              .channel = named.channel,
              .itemKey = *item};
}

std::variant<Work, Error> Client::PlacedSetting(std::string_view address, const Named& named,
                                                std::string_view parameter,
                                                const guard::Limits& limits) {
  const auto placed = PlaceOf(named.command, named.channel, sweep_);
  if (!placed) return Conflict();
  double number = 0;
  if (const auto special = ReadSpecial(parameter)) {
    const auto bound = Bound(named, *special, limits);
    if (!bound) return Illegal();
    number = *bound;
  } else {
    const auto read = ValueOf(named.quantity, parameter, AmplitudeUnit::Vpp);
    if (const auto* error = std::get_if<Error>(&read)) return *error;
    // These items hold peak to peak values only.
    if (std::get<Value>(read).amplitude == AmplitudeUnit::Vrms) return Conflict();
    number = std::get<Value>(read).number;
  }
  const std::string_view mnemonic = compose::KeyText(placed->itemKey);
  if (placed->reciprocal) {
    if (!(number > 0)) return Error{-222, "Data out of range; a rate is more than 0"};
    number = 1 / number;
  }
  if (named.quantity == Quantity::Count && (number < 1 || number != std::floor(number))) {
    return Error{-222, "Data out of range; a count is a whole number from 1"};
  }
  if (const guard::GuardedItem* row = guard::FindItem(placed->function, mnemonic)) {
    if (const auto breach = guard::OutOfDomain(row->effect, placed->function, mnemonic, number)) {
      return Error{-222, "Data out of range; " + guard::Describe(*breach)};
    }
  }
  const auto line = SetLineIn(address, placed->function, placed->itemKey, number);
  if (!line) return Error{-222, "Data out of range"};
  return Work{.kind = Work::Kind::Send,
              .line = *line,
              .command = named.command,
              .channel = named.channel,
              .itemKey = placed->itemKey};
}

std::variant<std::vector<Work>, Error> Client::Apply(std::string_view address, const Named& named,
                                                     const std::vector<std::string>& parameters,
                                                     const guard::Limits& limits) {
  if (parameters.size() > 3) return Error{-108, "Parameter not allowed"};
  std::vector<Work> work;
  auto shape = ShapeSetting(address, named.channel, named.detail);
  if (const auto* error = std::get_if<Error>(&shape)) return *error;
  work.push_back(std::move(std::get<Work>(shape)));
  const Command settings[] = {Command::Frequency, Command::Amplitude, Command::Offset};
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    if (ReadSpecial(parameters[i]) == Special::Default) continue;  // as it stands
    const Named each{settings[i], named.channel, false, QuantityOf(settings[i])};
    if (settings[i] == Command::Offset && !ItemKeyFor(Command::Offset, named.channel)) {
      // A channel without an offset of its own takes none, and only none.
      const auto read = ValueOf(each.quantity, parameters[i], AmplitudeUnit::Vpp);
      if (const auto* value = std::get_if<Value>(&read); value && value->number == 0) continue;
      return NoItem(Command::Offset, named.channel);
    }
    auto setting = Setting(address, each, parameters[i], limits);
    if (const auto* error = std::get_if<Error>(&setting)) return *error;
    work.push_back(std::move(std::get<Work>(setting)));
  }
  return work;
}

std::variant<std::vector<Work>, Error> Client::ModeSetting(std::string_view address,
                                                           const Named& named,
                                                           std::string_view parameter) {
  if (parameter.empty()) return Error{-109, "Missing parameter"};
  const auto on = ReadBoolean(parameter);
  if (!on) return Error{-104, "Data type error"};
  const auto mode = ModeOf(named.command, named.channel, sweep_);
  if (!mode) return Conflict();
  std::string& current = mode_[named.channel - 1];
  if (!*on) {
    if (current != mode->function) return std::vector<Work>{};  // not on: nothing to end
    current.clear();
    const auto frequency = ItemKeyFor(Command::Frequency, named.channel);
    return std::vector<Work>{{.kind = Work::Kind::Ask,
                              .line = ChannelAgain(address, named.channel),
                              .command = named.command,
                              .channel = named.channel,
                              .itemKey = *frequency,
                              .quiet = true}};
  }
  current = mode->function;
  lastMode_ = named.channel - 1;
  if (!mode->asks) {
    return std::vector<Work>{{.kind = Work::Kind::Send,
                              .line = ItemLineIn(address, mode->function, mode->item),
                              .command = named.command,
                              .channel = named.channel}};
  }
  const int item = *ItemKeyIn(mode->function, mode->item);
  return std::vector<Work>{{.kind = Work::Kind::Ask,
                            .line = QueryLineIn(address, mode->function, item),
                            .command = named.command,
                            .channel = named.channel,
                            .itemKey = item,
                            .quiet = true}};
}

std::variant<Work, Error> Client::TriggerWork(std::string_view address, int) {
  // The function this client turned on last triggers: a sweep once, a burst once.
  for (const std::string& function : {mode_[lastMode_], mode_[1 - lastMode_]}) {
    for (const std::string_view item : {"TRIGG", "ONCES"}) {
      if (function.empty() || (item == "TRIGG") != function.ends_with("SWP")) continue;
      if (ItemKeyIn(function, item)) {
        return Work{.kind = Work::Kind::Send,
                    .line = ItemLineIn(address, function, item),
                    .command = Command::Trigger};
      }
    }
  }
  return Error{-211, "Trigger ignored; no sweep or burst is on"};
}

std::variant<Work, Error> Client::ShapeSetting(std::string_view address, int channel,
                                               std::string_view parameter) {
  for (const ScpiShape& shape : kShapes) {
    if (!IsCharacterData(parameter, shape.mnemonic)) continue;
    // The shape's own item where the channel has one.
    for (const settings::ShapeItem& item : settings::kShapeItems) {
      if (item.shape == shape.shape && item.channel == Letter(channel)) {
        return Work{.kind = Work::Kind::Send,
                    .line = ItemLine(address, channel, item.mnemonic),
                    .command = Command::Shape,
                    .channel = channel};
      }
    }
    // Else the waveform number the configuration gives it.
    const auto number = face_.waveforms.find(shape.waveform);
    const auto wave = ItemKeyFor(Command::Shape, channel);
    if (number == face_.waveforms.end() || !wave) return Error{-221, "Settings conflict"};
    return Work{.kind = Work::Kind::Send,
                .line = *SetLine(address, channel, *wave, number->second),
                .command = Command::Shape,
                .channel = channel,
                .itemKey = *wave};
  }
  return Error{-224, "Illegal parameter value"};
}

void Client::Sent(std::optional<std::string_view> reply) {
  if (!reply) return errors_.Push({-240, "Hardware error; no answer"});
  if (!settings::Acknowledges(*reply)) {
    errors_.Push({-240, "Hardware error; the instrument answered " + std::string(*reply)});
  }
}

std::string Client::Asked(const Work& work, std::optional<std::string_view> reply) {
  const compose::KeyEntry* item = compose::FindKey(work.itemKey);
  std::optional<double> value;
  if (!reply) {
    errors_.Push({-240, "Hardware error; no answer"});
    return std::string(kNotANumber);
  }
  if (work.quiet) return {};
  if (item) {
    const int group = work.replyGroup >= 0 ? work.replyGroup : item->unitGroup;
    value = settings::ReadQuantity(*reply, static_cast<std::uint8_t>(group));
  }
  if (value && work.reciprocal) value = *value > 0 ? std::optional(1 / *value) : std::nullopt;
  if (!value) {
    errors_.Push({-230, "Data corrupt or stale"});
    return std::string(kNotANumber);
  }
  if (work.command == Command::Output) return *value != 0 ? "1" : "0";
  return Number(*value);
}

std::string Client::Local(const Work& work, const settings::InstrumentSettings& known,
                          const guard::Limits& limits) {
  if (work.kind == Work::Kind::Refuse) {
    errors_.Push(work.error);
    return {};
  }
  switch (work.command) {
    case Command::Identify:
      return face_.identity;
    case Command::Version:
      return "1999.0";
    case Command::ErrorNext:
      return ErrorQueue::Said(errors_.Next());
    case Command::ErrorCount:
      return std::to_string(errors_.Count());
    case Command::EventStatus:
      return std::to_string(errors_.TakeEventStatus());
    case Command::StatusByte:
      return std::to_string(errors_.StatusByte());
    case Command::ClearStatus:
      errors_.Clear();
      return {};
    case Command::OperationComplete:
      if (work.query) return "1";
      errors_.OperationComplete();
      return {};
    case Command::EventStatusEnable: {
      if (work.query) return std::to_string(errors_.EventStatusEnable());
      const auto mask = ReadNumeric(work.parameter);
      if (!mask || !mask->suffix.empty() || mask->value < 0 || mask->value > 255) {
        errors_.Push({-222, "Data out of range"});
      } else {
        errors_.SetEventStatusEnable(static_cast<int>(std::lround(mask->value)));
      }
      return {};
    }
    case Command::VoltageUnit:
      return work.query ? work.parameter : std::string();
    case Command::Shape: {
      const std::string shape = ShapeChosen(work.channel, known);
      if (!shape.empty()) return shape;
      errors_.Push({-230, "Data corrupt or stale"});
      return "NONE";
    }
    case Command::WaveIdentity:
      return std::string(kWaveIdentity);
    case Command::WaveSettings:
      return WaveSettings(work.channel, known);
    case Command::Apply:
    case Command::SweepState:
    case Command::BurstState:
    case Command::FmState:
    case Command::FskState:
    case Command::AskState:
    case Command::PskState:
      return work.parameter;
    default:
      if (!work.query) return {};
      // MINimum or MAXimum asked of a setting.
      if (const auto special = ReadSpecial(work.parameter)) {
        const Named named{work.command, work.channel, true, QuantityOf(work.command)};
        if (const auto bound = Bound(named, *special, limits)) return Number(*bound);
      }
      errors_.Push(Illegal());
      return std::string(kNotANumber);
  }
}

std::string Client::ShapeChosen(int channel, const settings::InstrumentSettings& known) const {
  // The shape chosen last, by its own item or by a waveform number.
  const std::string function = FunctionOf(channel);
  const settings::Setting* own = known.Find(function, settings::kShapeItem);
  if (own && !own->Fresh()) own = nullptr;
  const auto wave = ItemKeyFor(Command::Shape, channel);
  const settings::Setting* number = wave ? known.Find(function, compose::KeyText(*wave)) : nullptr;
  if (number && !number->Fresh()) number = nullptr;
  if (own && (!number || own->changed > number->changed)) {
    if (const auto* item = settings::FindShapeItem(own->Fresh()->text)) {
      for (const ScpiShape& shape : kShapes) {
        if (shape.shape == item->shape) return std::string(shape.answer);
      }
    }
  } else if (number) {
    for (const auto& [name, value] : face_.waveforms) {
      if (number->Fresh()->number != value) continue;
      for (const ScpiShape& shape : kShapes) {
        if (shape.waveform == name) return std::string(shape.answer);
      }
    }
  }
  return {};
}

std::vector<Work> Client::TakeBasicWave(std::string_view message, std::string_view address,
                                        const guard::Limits& limits) {
  std::vector<Work> work;
  const auto cut = CutBasicWave(message);
  if (const auto* error = std::get_if<Error>(&cut)) {
    work.push_back({.kind = Work::Kind::Refuse, .error = *error, .unit = std::string(message)});
    return work;
  }
  for (const WaveUnit& unit : std::get<std::vector<WaveUnit>>(cut)) {
    if (!AddUnit(work, WaveWork(unit, address, limits), unit.written)) break;
  }
  return work;
}

std::variant<std::vector<Work>, Error> Client::WaveWork(const WaveUnit& unit,
                                                        std::string_view address,
                                                        const guard::Limits& limits) {
  using Works = std::vector<Work>;
  const int channel = unit.channel;
  if (unit.header == "IDN-SGLT-PRI" && unit.query && unit.arguments.empty()) {
    return Works{{.kind = Work::Kind::Local, .command = Command::WaveIdentity, .query = true}};
  }
  if (unit.header == "BSWV" && unit.query) {
    return Works{{.kind = Work::Kind::Local,
                  .command = Command::WaveSettings,
                  .channel = channel,
                  .query = true}};
  }
  if (unit.query || (unit.header != "BSWV" && unit.header != "OUTP")) {
    return Error{-113, "Undefined header"};
  }
  Works work;
  auto setting = [&](Command command, std::string value) -> std::optional<Error> {
    auto one = Setting(address, Named{command, channel, false, QuantityOf(command)}, value, limits);
    if (const auto* error = std::get_if<Error>(&one)) return *error;
    work.push_back(std::move(std::get<Work>(one)));
    return std::nullopt;
  };
  const auto& arguments = unit.arguments;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    if (unit.header == "OUTP" && (name == "ON" || name == "OFF")) {
      if (auto error = setting(Command::Output, name)) return *error;
      continue;
    }
    // The rest come in pairs: a name and its value.
    if (i + 1 >= arguments.size()) return Error{-109, "Missing parameter"};
    const std::string& value = arguments[++i];
    std::optional<Error> error;
    if (unit.header == "OUTP" && name == "LOAD") {
      // The load the output drives: the amplitude set is what it means
      // into it, and the instrument has no setting for it.
      if (value != "50" && value != "HZ") return Error{-224, "Illegal parameter value"};
    } else if (unit.header != "BSWV") {
      return Error{-224, "Illegal parameter value"};
    } else if (name == "WVTP") {
      const std::string_view shape = ShapeOfWaveType(value);
      if (shape.empty()) return Error{-224, "Illegal parameter value"};
      auto one = ShapeSetting(address, channel, shape);
      if (const auto* refused = std::get_if<Error>(&one)) return *refused;
      work.push_back(std::move(std::get<Work>(one)));
    } else if (name == "FRQ") {
      error = setting(Command::Frequency, value);
    } else if (name == "AMP") {
      // Peak to peak, whatever VOLTage:UNIT says.
      const bool bare =
          !value.empty() && ((value.back() >= '0' && value.back() <= '9') || value.back() == '.');
      error = setting(Command::Amplitude, bare ? value + "VPP" : value);
    } else if (name == "OFST") {
      if (ItemKeyFor(Command::Offset, channel)) {
        error = setting(Command::Offset, value);
      } else {
        // A channel without an offset of its own takes none, and only none.
        const auto read = ValueOf(Quantity::Voltage, value, AmplitudeUnit::Vpp);
        const auto* number = std::get_if<Value>(&read);
        if (!number || number->number != 0) return NoItem(Command::Offset, channel);
      }
    } else if (name == "PHSE") {
      error = setting(Command::Phase, value);
    } else {
      return Error{-224, "Illegal parameter value"};
    }
    if (error) return *error;
  }
  return work;
}

std::string Client::WaveSettings(int channel, const settings::InstrumentSettings& known) const {
  // What the instrument confirmed: a set it acknowledged, or a value read back.
  const std::string function = FunctionOf(channel);
  auto confirmed = [&](Command command) -> std::optional<double> {
    const auto item = ItemKeyFor(command, channel);
    if (!item) return std::nullopt;
    const settings::Setting* setting = known.Find(function, compose::KeyText(*item));
    if (!setting || !setting->Fresh()) return std::nullopt;
    const settings::Source from = setting->From();
    if (from != settings::Source::Acknowledged && from != settings::Source::ReadBack) {
      return std::nullopt;
    }
    return setting->Fresh()->number;
  };
  auto number = [](double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return std::string(text);
  };
  std::string answer = "C" + std::to_string(channel) + ":BSWV";
  std::vector<std::string> parts;
  const std::string_view waveType = WaveTypeOfShape(ShapeChosen(channel, known));
  if (!waveType.empty()) parts.push_back("WVTP," + std::string(waveType));
  if (const auto frequency = confirmed(Command::Frequency)) {
    parts.push_back("FRQ," + number(*frequency) + "HZ");
  }
  if (const auto amplitude = confirmed(Command::Amplitude)) {
    parts.push_back("AMP," + number(*amplitude) + "V");
  }
  if (ItemKeyFor(Command::Offset, channel)) {
    if (const auto offset = confirmed(Command::Offset)) {
      parts.push_back("OFST," + number(*offset) + "V");
    }
  } else {
    parts.push_back("OFST,0V");
  }
  if (const auto phase = confirmed(Command::Phase)) parts.push_back("PHSE," + number(*phase));
  for (std::size_t i = 0; i < parts.size(); ++i) answer += (i ? "," : " ") + parts[i];
  return answer;
}

void Client::Add(std::vector<std::string>& answers, const Work& work, std::string answer) {
  if (work.quiet) return;
  std::string text = work.before + answer + work.after;
  if (work.joins && !answers.empty()) {
    answers.back() += text;
  } else {
    answers.push_back(std::move(text));
  }
}

std::string Client::Response(const std::vector<std::string>& answers) {
  std::string response;
  for (const std::string& answer : answers) {
    if (answer.empty()) continue;
    if (!response.empty()) response += ';';
    response += answer;
  }
  return response.empty() ? response : response + "\n";
}

}  // namespace zrt::scpi
