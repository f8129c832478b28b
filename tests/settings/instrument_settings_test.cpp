// What the lines sent and their replies tell of the instrument's settings.
#include "settings/instrument_settings.h"

#include <gtest/gtest.h>

#include "settings/output_shape.h"

namespace zrt::settings {
namespace {

struct Exchange {
  const char* line;
  const char* reply;
  Source from;        // CHA:AFREQ's source afterwards
  const char* value;  // and its value as written; nullptr: none
  bool disagrees;
  bool refused = false;  // answered otherwise than OK
};

TEST(InstrumentSettings, SourcesAndDisagreement) {
  const Exchange table[] = {
      {"88CHA:AFREQ?", "", Source::Unknown, nullptr, false},  // asked, no answer
      {"88CHA:AFREQ1000Hz", "", Source::Unacknowledged, "1000Hz", false, true},
      {"88CHA:AFREQ1000Hz", "OK\n", Source::Acknowledged, "1000Hz", false},
      {"88CHA:AFREQ?", "1kHz\n", Source::ReadBack, "1kHz", false},  // the same, written otherwise
      {"88CHA:AFREQ?", "5000HZ\n", Source::ReadBack, "5000HZ", true},
      {"88CHA:AFREQ?", "", Source::ReadBack, "5000HZ", true},  // no answer keeps the last read
      {"CHA:AFREQ:2kHz", "ERR\n", Source::Unacknowledged, "2kHz", false, true},
      {"XASWP:TRIGG", "OK\n", Source::Unacknowledged, "2kHz", false, true},  // no setting
      {"CHA:AFREQ:nonsense", "OK\n", Source::Unacknowledged, "2kHz", false, true},
  };
  InstrumentSettings known;
  for (const Exchange& row : table) {
    SCOPED_TRACE(row.line + std::string(" / ") + row.reply);
    known.RecordReply(row.line, row.reply);
    const Setting* setting = known.Find("CHA", "AFREQ");
    ASSERT_TRUE(setting);
    EXPECT_EQ(setting->From(), row.from);
    if (row.value) {
      ASSERT_TRUE(setting->Current());
      EXPECT_EQ(setting->Current()->text, row.value);
    } else {
      EXPECT_FALSE(setting->Current());
    }
    EXPECT_EQ(setting->Disagrees(), row.disagrees);
    EXPECT_EQ(setting->NotTaken(), row.refused);
  }
  known.RecordSent("CHA:AFREQ:3kHz");
  EXPECT_FALSE(known.Find("CHA", "AFREQ")->NotTaken()) << "on its way: not answered yet";
  EXPECT_FALSE(known.RecordReply("XASWP:TRIGG", "OK\n")) << "nothing changed";
  EXPECT_EQ(known.All().size(), 1u);
}

TEST(InstrumentSettings, ItemsPerFunctionInTheOrderKnown) {
  InstrumentSettings known;
  known.RecordReply("CHB:VPP:2Vpp", "OK\n");
  known.RecordReply("CHA:VPP:1Vpp", "OK\n");
  known.RecordReply("CHB:VPP:3Vpp", "OK\n");
  ASSERT_EQ(known.All().size(), 2u);
  EXPECT_EQ(known.All()[0].function, "CHB");
  EXPECT_DOUBLE_EQ(known.Find("CHB", "VPP")->Current()->number, 3);
  EXPECT_DOUBLE_EQ(known.Find("CHA", "VPP")->Current()->number, 1);
  EXPECT_TRUE(known.Find("CHA", "VPP")->acknowledged);
  EXPECT_FALSE(known.Find("CHA", "AFREQ"));
}

// Once the link changes, what was known is kept to be shown but counts for
// nothing (the limits ask again, the picture is not drawn) until it is set
// or read back anew.
TEST(InstrumentSettings, StaleAfterTheLinkChangesUntilKnownAgain) {
  InstrumentSettings known;
  for (const char* line : {"CHA:AFREQ:1kHz", "CHA:VPP:2Vpp", "CHA:AOFFS:0Vdc"})
    known.RecordReply(line, "OK\n");
  ASSERT_TRUE(OutputOf(known, 'A').Drawable());
  known.RecordReply("CHB:BFREQ?", "0\n");  // as a read back finds it: known, and drawn flat
  known.RecordReply("CHB:VPP?", "0\n");
  EXPECT_TRUE(OutputOf(known, 'B').Drawable());
  known.MarkStale();
  EXPECT_EQ(known.Find("CHA", "VPP")->Current()->number, 2) << "kept";
  EXPECT_FALSE(OutputOf(known, 'A').Drawable());
  known.RecordReply("CHA:AOFFS?", "0\n");
  EXPECT_FALSE(known.Find("CHA", "AOFFS")->stale) << "read back: known again";
  known.RecordReply("CHA:VPP:1Vpp", "OK\n");
  EXPECT_FALSE(known.Find("CHA", "VPP")->stale) << "set again";
  EXPECT_TRUE(known.Find("CHA", "AFREQ")->stale);
}

}  // namespace
}  // namespace zrt::settings
