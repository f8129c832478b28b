#include "scpi/client.h"

#include <cmath>
#include <cstdio>

#include "compose/key_vocabulary.h"
#include "guard/guard.h"
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

// The limit MINimum or MAXimum means for a setting, where one is set.
std::optional<double> LimitFor(Command command, int channel, Special special,
                               const guard::Limits& limits) {
  const guard::ChannelLimits& of = channel == 2 ? limits.b : limits.a;
  const bool most = special == Special::Maximum;
  switch (command) {
    case Command::Frequency:
      return most ? of.maxFrequencyHz : std::nullopt;
    case Command::Amplitude:
      return most ? of.maxAmplitudeVpp : std::nullopt;
    case Command::Offset:
      return most ? of.maxOffsetV : of.minOffsetV;
    default:
      return std::nullopt;
  }
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
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string DefaultIdentity(std::string_view version) {
  return "zrt-panel,ZRT10XX/ZRT30XX,0," + std::string(version);
}

std::vector<Work> Client::Take(std::string_view message, std::string_view address,
                               const guard::Limits& limits) {
  std::vector<Work> work;
  for (const auto& cut : CutMessage(message)) {
    if (const auto* error = std::get_if<Error>(&cut)) {
      work.push_back({.kind = Work::Kind::Refuse, .error = *error, .unit = std::string(message)});
      break;
    }
    const auto& unit = std::get<ProgramUnit>(cut);
    auto one = WorkOf(unit, address, limits);
    if (const auto* error = std::get_if<Error>(&one)) {
      work.push_back({.kind = Work::Kind::Refuse, .error = *error, .unit = Written(unit)});
      // A command error ends the message; one that cannot be executed only
      // its own unit.
      if (error->code <= -100 && error->code > -200) break;
      continue;
    }
    work.push_back(std::move(std::get<Work>(one)));
    work.back().unit = Written(unit);
  }
  return work;
}

std::variant<Work, Error> Client::WorkOf(const ProgramUnit& unit, std::string_view address,
                                         const guard::Limits& limits) {
  const auto named = NameCommand(unit);
  if (const auto* error = std::get_if<Error>(&named)) return *error;
  const Named& command = std::get<Named>(named);
  const auto split = SplitParameters(unit.parameters);
  if (const auto* error = std::get_if<Error>(&split)) return *error;
  const auto& parameters = std::get<std::vector<std::string>>(split);
  if (parameters.size() > 1 || (TakesNoParameter(command.command) && !parameters.empty())) {
    return Error{-108, "Parameter not allowed"};
  }
  const std::string parameter = parameters.empty() ? std::string() : parameters.front();
  Work local{.kind = Work::Kind::Local,
             .command = command.command,
             .channel = command.channel,
             .query = command.query,
             .parameter = parameter};
  switch (command.command) {
    case Command::Reset:
      if (!face_.resetConfigured) return Error{-200, "Execution error; no reset state configured"};
      return Work{.kind = Work::Kind::Reset, .command = command.command};
    case Command::EventStatusEnable:
      if (!command.query && parameter.empty()) return Error{-109, "Missing parameter"};
      return local;
    case Command::VoltageUnit:
      if (command.query) {
        // The unit as it stands here: a unit set later in the message
        // is taken before this piece's turn comes.
        local.parameter = amplitude_[command.channel - 1] == AmplitudeUnit::Vrms ? "VRMS" : "VPP";
        return local;
      }
      if (IsCharacterData(parameter, "VPP")) {
        amplitude_[command.channel - 1] = AmplitudeUnit::Vpp;
      } else if (IsCharacterData(parameter, "VRMS")) {
        amplitude_[command.channel - 1] = AmplitudeUnit::Vrms;
      } else {
        return parameter.empty() ? Error{-109, "Missing parameter"}
                                 : Error{-224, "Illegal parameter value"};
      }
      return local;
    case Command::Shape:
      if (command.query) return local;
      if (parameter.empty()) return Error{-109, "Missing parameter"};
      return ShapeSetting(address, command.channel, parameter);
    case Command::Frequency:
    case Command::Amplitude:
    case Command::Offset:
    case Command::Phase:
    case Command::DutyCycle:
    case Command::Output:
      if (!command.query) return Setting(address, command, parameters, limits);
      if (!parameter.empty()) {
        if (!ReadSpecial(parameter)) return Error{-224, "Illegal parameter value"};
        return local;
      }
      if (const auto item =
              ItemKeyFor(command.command, command.channel, amplitude_[command.channel - 1])) {
        return Work{.kind = Work::Kind::Ask,
                    .line = QueryLine(address, command.channel, *item),
                    .command = command.command,
                    .channel = command.channel,
                    .query = true,
                    .itemKey = *item};
      }
      return Error{-221, "Settings conflict"};
    default:
      return local;
  }
}

std::variant<Work, Error> Client::Setting(std::string_view address, const Named& named,
                                          const std::vector<std::string>& parameters,
                                          const guard::Limits& limits) {
  if (parameters.empty()) return Error{-109, "Missing parameter"};
  Value value{0, amplitude_[named.channel - 1]};
  if (const auto special = ReadSpecial(parameters.front())) {
    const auto limit = LimitFor(named.command, named.channel, *special, limits);
    if (!limit) return Error{-224, "Illegal parameter value"};
    value = {*limit, AmplitudeUnit::Vpp};
  } else {
    const auto read = ValueOf(named.command, parameters.front(), value.amplitude);
    if (const auto* error = std::get_if<Error>(&read)) return *error;
    value = std::get<Value>(read);
  }
  const auto item = ItemKeyFor(named.command, named.channel, value.amplitude);
  if (!item) return Error{-221, "Settings conflict"};
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
  if (item) value = settings::ReadQuantity(*reply, item->unitGroup);
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
      // The shape chosen last, by its own item or by a waveform number.
      const std::string function = FunctionOf(work.channel);
      const settings::Setting* own = known.Find(function, settings::kShapeItem);
      if (own && !own->Fresh()) own = nullptr;
      const auto wave = ItemKeyFor(Command::Shape, work.channel);
      const settings::Setting* number =
          wave ? known.Find(function, compose::KeyText(*wave)) : nullptr;
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
      errors_.Push({-230, "Data corrupt or stale"});
      return "NONE";
    }
    case Command::Frequency:
    case Command::Amplitude:
    case Command::Offset:
    case Command::Phase:
    case Command::DutyCycle:
    case Command::Output:
      if (const auto special = ReadSpecial(work.parameter)) {
        if (const auto limit = LimitFor(work.command, work.channel, *special, limits)) {
          return Number(*limit);
        }
      }
      errors_.Push({-224, "Illegal parameter value"});
      return std::string(kNotANumber);
    default:
      return {};
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
