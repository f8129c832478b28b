// The texts this program adds to the instrument's own (notes, notices and
// hints), in the three languages of the caption tables. The instrument's
// own texts ("请打开串口!", "发送:", the captions) are not here: they stay
// as they are in every language.
#pragma once

#include <QString>

#include "window/form/caption_table.h"

namespace zrt::window {

enum class OwnText {
  PortLost,     // %1: the port's name
  SentAsTyped,  // after the echo of a line that did not begin with the address
  OutputHeld,   // %1 of %2 bytes handed over
  LongLine,     // %1 bytes, %2 seconds
  // The status line: %1 the port, %2 its rate.
  PortClosed,
  PortOpen,
  PortHeld,
  PortComingBack,
  // Their short forms, for the narrow panes; %1 the port.
  PaneClosed,
  PaneOpen,
  PaneHeld,
  PaneComingBack,
  UsbOpened,
  UsbNotOpened,
  // The session log.
  LogToggle,
  ReopenToggle,
  PortAwaited,   // %1: the port's stable name
  PortReopened,  // %1: the port's stable name
  LogHex,
  LogClear,
  LogSave,
  LogDropped,  // %1 entries
  LogCopy,
  LogSelectAll,
  // Sequences.
  SequenceLoad,
  SequenceRun,
  SequenceStep,
  SequencePause,
  SequenceStop,
  SequenceLoaded,      // %1 the file, %2 its steps
  SequenceUnreadable,  // %1 the file, %2 why
  SequenceStepOf,      // %1 of %2 steps, %3 the file, %4 its line, %5 what
  FrameCut,            // %1 of %2 bytes went out
  SettingsDamaged,     // %1: the settings file
  SettingsUnwritable,  // %1: the settings file
  // Why a port did not open. English says it in the system's own words.
  NoSuchDevice,
  PortBusy,
  PermissionDenied,
  JoinTheGroup,        // %1: the device, %2: its group
  NotASerialTerminal,  // %1: the device
  // Why a network port did not open; %1: the server's address.
  ConnectionRefused,
  ServerUnreachable,
  NameNotResolved,
  ServerDidNotAnswer,
  ServerRefusedSettings,
  // The serial rate.
  BaudRateRefused,  // %1: the rate
  BaudRateInvalid,  // %1: the text
  // File dialogs' filters.
  SequenceFilter,
  LogFilter,
  // What happened to a line.
  LineNotSent,  // %1 the line, %2 why
  NoByte,       // %1 the character, %2 its code, %3 its position
  SendHeld,     // %1 seconds left of the hold
  // What happened to a port.
  PortRenamed,       // %1 the port that was open
  PortServerLost,    // %1 the port's name
  PortNotAwaitable,  // %1 the port's name
  PortLostFrameCut,  // %1 of %2 bytes went out
  LogToFile,         // the switch
  LogFileFailed,     // %1 the file, %2 why
  LogSearch,         // the filter field's placeholder
  LogMatches,        // %1 of %2 entries
  // A run's record.
  ExpectMet,     // %1 the expect
  ExpectMissed,  // %1 the expect
  RunSummary,    // %1 lines, %2 replies, %3 met, %4 missed, %5 seconds
  SequenceReload,
  SequenceRunFromHere,
  SequenceReread,  // %1 the file
  // Sharing the instrument with other programs.
  ShareToggle,         // %1 the address
  SharePane,           // %1 clients
  SharePaneOpen,       // %1 clients, on an address other machines reach
  ShareFailed,         // %1 the address, %2 why
  ShareListening,      // %1 the address
  ShareListeningOpen,  // %1 the address
  ShareConnected,
  ShareDisconnected,
  ShareNotReading,
  ShareDropped,      // %1 lines
  ShareTooMany,      // %1 clients
  ShareTooLong,      // %1 bytes
  ShareNotSent,      // %1 the line
  ShareBadSettings,  // %1 the line
  ShareLinkLost,
  ShareHeldTooLong,  // %1 the line
  ShareStopped,
  ShareReplaced,
  ShareNoByte,        // %1 the line, %2 where
  ShareControlByte,   // %1 the line, %2 where
  ShareAcceptFailed,  // %1 why
  ShareSpeech,        // the accessible name of the choice below
  ShareSpeaksLines,
  ShareSpeaksScpi,
  ShareScpiCommand,  // %1 the program unit
  ShareScpiError,    // %1 the error, as SYST:ERR? says it
  // The instrument's settings below the window.
  InstrumentToggle,
  ViewItem,
  ViewChannelA,
  ViewChannelB,
  ViewFrequency,
  ViewAmplitude,
  ViewOffset,
  ViewDuty,
  ViewPhase,
  ViewWaveform,
  ViewOutput,
  ViewHarmonic,
  ViewLimits,
  ViewNoLimits,
  ViewUnknown,
  ViewSet,
  ViewSetUnacknowledged,
  ViewReadBackAt,  // %1 the time
  ViewDiffers,     // %1 the value set
  ViewNoAnswer,
  ViewStale,  // %1 the time the link changed
  ReadBackButton,
  ReadBackStop,
  ReadBackProgress,  // %1 the item, %2 of them all
  ReadBackDone,      // %1 answered, %2 asked
  ReadBackStopped,   // %1 answered, %2 asked
  ReadBackOrigin,
  ReadBackNoLink,
  SavePreset,
  Presets,
  NoPresets,
  PresetName,
  PresetSaved,     // %1 the file
  PresetNotSaved,  // %1 the file, %2 why
  LimitsButton,
  LimitMaxFrequency,
  LimitMaxAmplitude,
  LimitMinOffset,
  LimitMaxOffset,
  LimitEmptyIsNone,
  LimitNotANumber,      // %1 the text
  LimitsSet,            // %1 the limits
  PreviewNotDrawn,      // %1 the channel
  PreviewOff,           // %1 the channel
  PreviewShapeUnknown,  // %1 the channel, %2 the waveform's value
  PreviewSpan,          // %1 the time
  PreviewTwoPeriods,
  OutputOnUnread,
  AllOutputsOff,
  AllOutputsOffSent,  // %1 lines waiting then, %2 of them dropped as switching an output on
  FunctionChoice,
  ChannelsChoice,
  HoldLeft,   // %1 the button's caption, %2 seconds
  SweepLeft,  // %1 seconds left, %2 the value expected now
  SweepUnknown,
  MeasureButton,
  RepeatEvery,
  RepeatOff,
  RepeatSeconds,  // %1 seconds
  MeasuringStopped,
  PreviewFrequencySweep,  // %1 start, %2 stop
  NoReadingYet,           // %1 the unit
  Count,
};

// The text in that language; empty where the table leaves it to others
// (the system's own words in English).
QString TextIn(OwnText text, Language language);

}  // namespace zrt::window
