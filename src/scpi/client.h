// One SCPI client of the shared instrument: what each message it sends
// asks of the instrument, in order, and what goes back to it. Sets become
// the lines the key panels compose, queries always ask the instrument, and
// what SCPI keeps for itself (the error queue, the status, *IDN?) is
// answered here. Nothing here sends: the server does the work in order,
// one piece after the other, and tells the client how each went.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "guard/limits.h"
#include "scpi/basic_wave.h"
#include "scpi/commands.h"
#include "scpi/error_queue.h"
#include "scpi/instrument_lines.h"
#include "scpi/parameters.h"
#include "settings/instrument_settings.h"

namespace zrt::scpi {

// What the SCPI face was given when it started.
struct Face {
  std::string identity;  // what *IDN? answers
  // The waveform numbers of the shapes the channels have no item for, by
  // SCPI's shape ("SIN", "SQU", "TRI", "RAMP", "NOIS", "ARB").
  std::map<std::string, int, std::less<>> waveforms{};
  bool resetConfigured = false;  // *RST has a preset to run
  // What MINimum and MAXimum are for the model at hand, by name
  // ("max_frequency_hz", "min_offset_v"...): see kRangeNames. Where the
  // limits are tighter, they win.
  std::map<std::string, double, std::less<>> ranges{};
};

// The names a range table may give: min_ or max_ and one of these.
inline constexpr std::string_view kRangeNames[] = {"frequency_hz", "amplitude_vpp", "offset_v",
                                                   "phase_deg", "duty_pct"};

// "zrt-panel,ZRT10XX/ZRT30XX,0,<version>"
std::string DefaultIdentity(std::string_view version);

// One piece of a message's work.
struct Work {
  enum class Kind {
    Send,    // `line` to the instrument; Sent follows with its reply
    Ask,     // `line`, a query; Asked follows with its reply
    Local,   // answered here when its turn comes (Local)
    Reset,   // the reset preset runs
    Refuse,  // `error` is queued when its turn comes, after what came before
  };
  Kind kind;
  std::string line{};  // Send, Ask
  Command command = Command::Identify;
  int channel = 1;
  bool query = false;
  int itemKey = 0;          // Ask: the item its reply is of
  std::string parameter{};  // Local: the parameter as written
  Error error{0, ""};       // Refuse
  std::string unit{};       // the program unit as written, for the log; on a unit's first piece
  // How its answer stands in the message's response: between `before` and
  // `after`, and joined to the answer before it (`joins`) instead of after
  // a ';' (APPLy? answers in one piece).
  std::string before{};
  std::string after{};
  bool joins = false;
  bool quiet = false;       // Ask: a question that only selects a function; its answer unsaid
  int replyGroup = -1;      // Ask: the unit group its reply is in, where not its item's
  bool reciprocal = false;  // the item holds the time a rate's reciprocal gives
};

class Client {
 public:
  explicit Client(const Face& face) : face_(face) {}

  // What IDN-SGLT-PRI? answers: a generator of the kind bench
  // oscilloscopes drive for their Bode plots.
  static constexpr std::string_view kWaveIdentity = "IDN-SGLT-PRI SDG0000X";

  // The work `message` asks for, in order. A unit that cannot be read, or
  // cannot be done (-221 for an item the channel does not have), becomes a
  // Refuse; after a command error (-1xx) the rest of the message is
  // dropped, as a 488.2 parser does.
  // Its lines go to the instrument at `address` (the panel's address field
  // as it stands), and values are checked against `limits`.
  std::vector<Work> Take(std::string_view message, std::string_view address,
                         const guard::Limits& limits);

  // A Send's reply (nothing: none came): only "OK" is success (else -240).
  void Sent(std::optional<std::string_view> reply);
  // What an Ask's reply says to the client: a number in the base unit
  // ("+1.2345000000E+03"), or SCPI's "not a number" with -230.
  std::string Asked(const Work& work, std::optional<std::string_view> reply);
  // A Send or Ask that did not go out, and why.
  void NotSent(const Error& why) { errors_.Push(why); }
  // A Local or Refuse piece's answer when its turn comes (empty: none),
  // from what is known then.
  std::string Local(const Work& work, const settings::InstrumentSettings& known,
                    const guard::Limits& limits);

  ErrorQueue& Errors() { return errors_; }
  const ErrorQueue& Errors() const { return errors_; }

  // The responses of one message as they go back: joined by ';', ended by
  // a line feed; nothing when there are none.
  static std::string Response(const std::vector<std::string>& answers);
  // `answer`, the answer to `work`, among a message's `answers`.
  static void Add(std::vector<std::string>& answers, const Work& work, std::string answer);

 private:
  // The work of a message in the basic-wave dialect (basic_wave.h).
  std::vector<Work> TakeBasicWave(std::string_view message, std::string_view address,
                                  const guard::Limits& limits);
  std::variant<std::vector<Work>, Error> WaveWork(const WaveUnit& unit, std::string_view address,
                                                  const guard::Limits& limits);
  // C1:BSWV?'s answer from what the instrument confirmed.
  std::string WaveSettings(int channel, const settings::InstrumentSettings& known) const;
  // The shape chosen last on a channel as FUNC? says it ("SIN"), or empty.
  std::string ShapeChosen(int channel, const settings::InstrumentSettings& known) const;
  // The work of one unit, or an error.
  std::variant<std::vector<Work>, Error> WorkOf(const ProgramUnit& unit, std::string_view address,
                                                const guard::Limits& limits);
  std::variant<Work, Error> Setting(std::string_view address, const Named& named,
                                    std::string_view parameter, const guard::Limits& limits);
  // A setting of another function than the channel's own (Placed).
  std::variant<Work, Error> PlacedSetting(std::string_view address, const Named& named,
                                          std::string_view parameter, const guard::Limits& limits);
  std::variant<std::vector<Work>, Error> Apply(std::string_view address, const Named& named,
                                               const std::vector<std::string>& parameters,
                                               const guard::Limits& limits);
  std::variant<std::vector<Work>, Error> ModeSetting(std::string_view address, const Named& named,
                                                     std::string_view parameter);
  std::variant<Work, Error> TriggerWork(std::string_view address, int channel);
  // What MINimum or MAXimum is for a command: the tighter of the range
  // table's and the limits'.
  std::optional<double> Bound(const Named& named, Special special,
                              const guard::Limits& limits) const;
  std::variant<Work, Error> ShapeSetting(std::string_view address, int channel,
                                         std::string_view shape);

  const Face& face_;
  ErrorQueue errors_;
  AmplitudeUnit amplitude_[2] = {AmplitudeUnit::Vpp, AmplitudeUnit::Vpp};  // by channel
  // The sweep start and stop were set for last (SWEep:STATe starts it), and
  // the function this client turned on for each channel (none: its own),
  // which *TRG triggers.
  std::string sweep_ = "FSWP";
  std::string mode_[2];
  int lastMode_ = 0;  // the channel whose function was turned on last
};

}  // namespace zrt::scpi
