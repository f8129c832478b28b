// A SCPI client's messages worked through against the simulated
// instrument, as the server does it: what reached the instrument, what
// went back, and what the error queue holds.
#include "scpi/client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <span>

#include "sim/instrument_model.h"

namespace zrt::scpi {
namespace {

struct Bench {
  Face face{.identity = DefaultIdentity("test")};
  guard::Limits limits;
  settings::InstrumentSettings known;
  sim::InstrumentModel instrument;
  Client client{face};
  std::vector<std::string> heard;  // by the instrument, its address as the byte

  // The response to `message`, each piece of its work done in turn.
  std::string Run(std::string_view message) {
    std::vector<std::string> answers;
    for (const Work& work : client.Take(message, "88", limits)) {
      if (work.kind == Work::Kind::Send || work.kind == Work::Kind::Ask) {
        const std::string frame = "X" + work.line.substr(2);
        heard.push_back(frame);
        const std::string answer = instrument.Answer(frame);
        const std::string reply = answer.substr(0, answer.find('\n'));
        known.RecordSent(work.line.substr(2));
        known.RecordReply(work.line.substr(2), reply);
        if (work.kind == Work::Kind::Send) {
          client.Sent(reply);
        } else {
          Client::Add(answers, work, client.Asked(work, reply));
        }
      } else {
        Client::Add(answers, work, client.Local(work, known, limits));
      }
    }
    return Client::Response(answers);
  }
};

TEST(ScpiClient, MessagesBecomeTheLinesAndTheAnswers) {
  const struct {
    std::string_view message;
    std::string response;
    std::vector<std::string> heard;
    std::string error = "0,\"No error\"";
  } cases[] = {
      {"*IDN?", "zrt-panel,ZRT10XX/ZRT30XX,0,test\n", {}},
      {"FREQ 1234.5;FREQ?", "+1.2345000000E+03\n", {"XCHA:AFREQ1234.5Hz", "XCHA:AFREQ?"}},
      {"SOUR2:VOLT 2;VOLT?;:OUTP2 ON;OUTP2?",
       "+2.0000000000E+00;1\n",
       {"XCHB:VPP2Vpp", "XCHB:VPP?", "XCHB:SWITCH1No.", "XCHB:SWITCH?"}},
      {"VOLT:UNIT VRMS;:VOLT 1;:VOLT:UNIT?;UNIT VPP", "VRMS\n", {"XCHA:VRMS1Vrms"}},
      // The path rule: after VOLT:UNIT, a header without a colon is under VOLT.
      {"VOLT:UNIT VRMS;VOLT 1", "", {}, "-113,\"Undefined header\""},
      {"FUNC SQU;FUNC?", "SQU\n", {"XCHA:SQUAR"}},
      {"FREQ? MAX;FREQ MAX", "+1.0000000000E+07\n", {"XCHA:AFREQ10000000Hz"}},
      // Refused before anything is sent, and said in the queue in order.
      {"SOUR2:VOLT:OFFS 1;:FREQ 2",
       "",
       {"XCHA:AFREQ2Hz"},
       "-221,\"Settings conflict; channel B has no offset\""},
      {"BOGUS 1;FREQ 5", "", {}, "-113,\"Undefined header\""},
      {"FREQ 1;SOUR2:FUNC SIN", "", {"XCHA:AFREQ1Hz"}, "-221,\"Settings conflict\""},
      {"VOLT? MIN", "9.91E+37\n", {}, "-224,\"Illegal parameter value\""},
      {"*RST", "", {}, "-200,\"Execution error; no reset state configured\""},
      {"*IDN? 1", "", {}, "-108,\"Parameter not allowed\""},
      // More digits than a line is read with: nothing sent. A reply that
      // is no number.
      {"FREQ 1e20", "", {}, "-222,\"Data out of range\""},
      {"SOUR2:FUNC?", "NONE\n", {}, "-230,\"Data corrupt or stale\""},
      // Each channel keeps its own amplitude unit.
      {"VOLT:UNIT VRMS;:SOUR2:VOLT 1;:VOLT 0.5", "", {"XCHB:VPP1Vpp", "XCHA:VRMS0.5Vrms"}},
      {"SOUR2:VOLT:OFFS?", "", {}, "-221,\"Settings conflict; channel B has no offset\""},
      {"SOUR2:VOLT:UNIT VRMS;:SOUR2:VOLT 1",
       "",
       {},
       "-221,\"Settings conflict; channel B has no amplitude in Vrms\""},
      // A suffix's scaling is not carried into the line.
      {"VOLT:OFFS -700 mV", "", {"XCHA:AOFFS-0.7Vdc"}},
      {"VOLT 300 MV", "", {"XCHA:VPP0.3Vpp"}},
  };
  for (const auto& c : cases) {
    Bench bench;
    bench.limits.a.maxFrequencyHz = 10e6;
    EXPECT_EQ(bench.Run(c.message), c.response) << c.message;
    EXPECT_EQ(bench.heard, c.heard) << c.message;
    EXPECT_EQ(bench.Run("SYST:ERR?"), c.error + "\n") << c.message;
  }
}

// What an item cannot be is refused with or without limits, naming the
// item, in words that keep an error's one comma its own.
TEST(ScpiClient, ValuesOutsideTheirItemsDomainAreOutOfRange) {
  for (const bool limited : {false, true}) {
    for (const std::string_view message :
         {"FREQ -5", "VOLT -2", "FUNC:SQU:DCYC 150", "SOUR2:FUNC:SQU:DCYC -1", "PHAS 400",
          "SOUR2:FREQ -1 KHZ", "VOLT:UNIT VRMS;:VOLT -1"}) {
      Bench bench;
      if (limited) bench.limits.a.maxFrequencyHz = 10e6;
      EXPECT_EQ(bench.Run(message), "") << message;
      EXPECT_EQ(bench.heard, std::vector<std::string>()) << message;
      const std::string error = bench.Run("SYST:ERR?");
      EXPECT_TRUE(error.starts_with("-222,\"Data out of range; ")) << message << ": " << error;
      EXPECT_EQ(std::count(error.begin(), error.end(), ','), 1) << error;
    }
  }
}

TEST(ScpiClient, WaveformsWithoutAnItemOfTheirOwnComeFromTheConfiguration) {
  Bench bench;
  bench.face.waveforms = {{"sine", 0}, {"ramp", 3}};
  EXPECT_EQ(bench.Run("SOUR2:FUNC SIN;FUNC?;:FUNC RAMP;FUNC?"), "SIN;RAMP\n");
  EXPECT_EQ(bench.heard, (std::vector<std::string>{"XCHB:BWAVE0No.", "XCHA:AWAVE3No."}));
  EXPECT_EQ(bench.Run("*ESR?;*STB?"), "0;0\n");
  bench.Run("SOUR2:FUNC NOIS;:SOUR2:FUNC TRI");
  EXPECT_EQ(bench.Run("*ESR?;*OPC;*ESR?;*OPC?"), "0;1;1\n");
  // A set the instrument refuses, or does not answer.
  bench.client.Sent("ERROR");
  bench.client.Sent(std::nullopt);
  EXPECT_EQ(bench.Run("SYST:ERR?;:SYST:ERR?"),
            "-240,\"Hardware error; the instrument answered ERROR\";"
            "-240,\"Hardware error; no answer\"\n");
  // A question not answered, or answered with no number.
  const Work asked = bench.client.Take("FREQ?", "88", bench.limits).front();
  EXPECT_EQ(bench.client.Asked(asked, std::nullopt), "9.91E+37");
  EXPECT_EQ(bench.client.Asked(asked, "ERROR"), "9.91E+37");
  EXPECT_EQ(bench.Run("SYST:ERR?;:SYST:ERR?"),
            "-240,\"Hardware error; no answer\";-230,\"Data corrupt or stale\"\n");
  // The shape chosen last answers, whether by its item or by number.
  bench.face.waveforms = {{"triangle", 2}};
  EXPECT_EQ(bench.Run("FUNC SQU;FUNC?;FUNC TRI;FUNC?;FUNC SQU;FUNC?"), "SQU;TRI;SQU\n");
}

// A message, the response it gets, what the instrument hears of it, and
// the start of the error it leaves in the queue.
struct Case {
  std::string_view message;
  std::string response;
  std::vector<std::string> heard;
  std::string error = "0,\"No error\"";
};

// The cases one after the other on one bench, its queue cleared between.
void RunInTurn(Bench& bench, std::span<const Case> cases) {
  for (const Case& c : cases) {
    bench.heard.clear();
    EXPECT_EQ(bench.Run(c.message), c.response) << c.message;
    EXPECT_EQ(bench.heard, c.heard) << c.message;
    const std::string error = bench.Run("SYST:ERR?");
    EXPECT_TRUE(error.starts_with(c.error)) << c.message << " said " << error;
    bench.Run("*CLS");
  }
}

TEST(ScpiClient, WhatScriptsUseBecomesTheKeysLines) {
  const Case cases[] = {
      // APPLy: the shape, then each value given, in order.
      {"APPL:SIN 1 kHz,2,0.5",
       "",
       {"XCHA:SINE", "XCHA:AFREQ1000Hz", "XCHA:VPP2Vpp", "XCHA:AOFFS0.5Vdc"}},
      {"APPL:SQU", "", {"XCHA:SQUAR"}},
      {"SOUR2:APPL:TRI 50,DEF,0", "", {"XCHB:BTRIG", "XCHB:BFREQ50Hz"}},
      // Channel B has no offset: none is taken, any other is refused whole.
      {"SOUR2:APPL:RAMP 50,1,0.5", "", {}, "-221,\"Settings conflict; channel B has no offset\""},
      {"APPL:SIN 1,2,3,4", "", {}, "-108,\"Parameter not allowed\""},
      {"APPL:SIN -5", "", {}, "-222,\"Data out of range; CHA:AFREQ cannot be -5 Hz"},
      {"FUNC SQU;FREQ 2000;VOLT 1;VOLT:OFFS 0;:APPL?",
       "\"SQU +2.0000000000E+03,+1.0000000000E+00,+0.0000000000E+00\"\n",
       {"XCHA:SQUAR", "XCHA:AFREQ2000Hz", "XCHA:VPP1Vpp", "XCHA:AOFFS0Vdc", "XCHA:AFREQ?",
        "XCHA:VPP?", "XCHA:AOFFS?"}},
      // The counter, whatever unit it answers in.
      {"MEAS:FREQ?", "+0.0000000000E+00\n", {"XCOUNT:MEASF?"}},
      {"FETC?", "+0.0000000000E+00\n", {"XCOUNT:MEASF?"}},
      // A frequency sweep: start, stop, its step interval, then on.
      {"FREQ:STAR 100;STOP 10 kHz;:SWE:TIME 20 MS;STAT ON;STAT?",
       "1\n",
       {"XFSWP:STARF100Hz", "XFSWP:STOPF10000Hz", "XFSWP:INTVL0.02S", "XFSWP:AUTO"}},
      {"*TRG", "", {"XFSWP:TRIGG"}},
      {"SWE:STAT OFF;STAT?", "0\n", {"XCHA:AFREQ?"}},
      {"TRIG", "", {}, "-211,\"Trigger ignored; no sweep or burst is on\""},
      // The amplitude sweep is the one set last.
      {"VOLT:STAR 1;STOP 2;:SWE:STAT ON;:TRIG:IMM",
       "",
       {"XASWP:STARA1Vpp", "XASWP:STOPA2Vpp", "XASWP:AUTO", "XASWP:TRIGG"}},
      {"VOLT:STAR 1 VRMS", "", {}, "-221,\"Settings conflict\""},
      {"SOUR2:FREQ:STAR 100", "", {}, "-221,\"Settings conflict\""},
      // Bursts on either channel.
      {"SOUR2:BURS:NCYC 5;STAT ON;*TRG",
       "",
       {"XBBURST:NCYCL5CYCL", "XBBURST:NCYCL?", "XBBURST:ONCES"}},
      {"BURS:NCYC 2.5", "", {}, "-222,\"Data out of range; a count is a whole number from 1\""},
      // Modulations: their own function, entered by asking one of its items.
      {"FM:DEV 10;INT:FREQ 100;:FM:STAT ON", "", {"XFM:DEVIA10%", "XFM:MODUF100Hz", "XFM:MODUF?"}},
      {"FSK:FREQ 2 kHz;INT:RATE 10;:FSK:STAT ON",
       "",
       {"XFSK:HOPF2000Hz", "XFSK:INTVL0.1S", "XFSK:HOPF?"}},
      {"ASK:AMPL 1;:ASK:STAT ON", "", {"XASK:HOPA1Vpp", "XASK:HOPA?"}},
      {"PSK:PHAS 90;STAT ON;STAT?", "1\n", {"XPSK:HOPP90DEG", "XPSK:HOPP?"}},
      {"PSK:INT:RATE 0", "", {}, "-222,\"Data out of range; a rate is more than 0\""},
      {"SOUR2:FM:STAT ON", "", {}, "-221,\"Settings conflict\""},
      {"PHAS 45;PHAS?", "+4.5000000000E+01\n", {"XCHA:PHASE45DEG", "XCHA:PHASE?"}},
  };
  Bench bench;
  RunInTurn(bench, cases);
}

TEST(ScpiClient, MinimumAndMaximumFromTheRangeTableAndTheLimits) {
  Bench bench;
  bench.face.ranges = {{"max_frequency_hz", 30e6},
                       {"min_frequency_hz", 0.01},
                       {"max_amplitude_vpp", 20},
                       {"max_phase_deg", 359}};
  bench.limits.a.maxAmplitudeVpp = 5;  // tighter than the model: it wins
  const struct {
    std::string_view message;
    std::string response;
    std::string error = "0,\"No error\"";
  } cases[] = {
      {"FREQ? MAX;FREQ? MIN", "+3.0000000000E+07;+1.0000000000E-02\n"},
      {"VOLT? MAX;SOUR2:VOLT? MAX", "+5.0000000000E+00;+2.0000000000E+01\n"},
      {"PHAS? MAX;FREQ:STAR? MAX", "+3.5900000000E+02;+3.0000000000E+07\n"},
      {"VOLT:OFFS? MAX", "9.91E+37\n", "-224,\"Illegal parameter value\""},
      {"BURS:NCYC? MAX", "9.91E+37\n", "-224,\"Illegal parameter value\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(bench.Run(c.message), c.response) << c.message;
    EXPECT_TRUE(bench.Run("SYST:ERR?").starts_with(c.error)) << c.message;
    bench.Run("*CLS");
  }
}

TEST(ScpiClient, TheBasicWaveDialectOscilloscopesSpeak) {
  const Case cases[] = {
      {"IDN-SGLT-PRI?", "IDN-SGLT-PRI SDG0000X\n", {}},
      {"C1:BSWV?", "C1:BSWV\n", {}},  // nothing confirmed yet
      // The set-up line, as the scope sends it.
      {"C1:OUTP LOAD,50;BSWV WVTP,SINE,PHSE,0,FRQ,50000,AMP,2,OFST,0;OUTP ON",
       "",
       {"XCHA:SINE", "XCHA:PHASE0DEG", "XCHA:AFREQ50000Hz", "XCHA:VPP2Vpp", "XCHA:AOFFS0Vdc",
        "XCHA:SWITCH1No."}},
      {"C1:BSWV?", "C1:BSWV WVTP,SINE,FRQ,50000HZ,AMP,2V,OFST,0V,PHSE,0\n", {}},
      {"C1:BSWV FRQ,10.8890427", "", {"XCHA:AFREQ10.8890427Hz"}},
      {"c2:bswv ofst,0,frq,100", "", {"XCHB:BFREQ100Hz"}},
      {"C2:BSWV?", "C2:BSWV FRQ,100HZ,OFST,0V\n", {}},
      {"C1:OUTP OFF", "", {"XCHA:SWITCH0No."}},
      {"C1:OUTP LOAD,HZ", "", {}},
      // Refused whole, nothing of the unit sent.
      {"C2:BSWV FRQ,200,OFST,1", "", {}, "-221,\"Settings conflict; channel B has no offset\""},
      {"C1:BSWV FRQ,-5", "", {}, "-222,\"Data out of range; CHA:AFREQ cannot be -5 Hz"},
      {"C1:BSWV FRQ", "", {}, "-109,\"Missing parameter\""},
      {"C1:BSWV DUTY,50", "", {}, "-224,\"Illegal parameter value\""},
      {"C1:OUTP LOAD,75", "", {}, "-224,\"Illegal parameter value\""},
      {"C3:BSWV FRQ,1", "", {}, "-114,\"Header suffix out of range\""},
      {"C1:ARWV INDEX,2", "", {}, "-113,\"Undefined header\""},
  };
  Bench bench;
  RunInTurn(bench, cases);
}

}  // namespace
}  // namespace zrt::scpi
