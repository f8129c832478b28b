// Recalling sent lines as shells do.
#include "window/send/command_history.h"

#include <gtest/gtest.h>

namespace zrt::window::testing {
namespace {

TEST(CommandHistory, UpDownEscapeAndTheLimit) {
  CommandHistory history;
  EXPECT_FALSE(history.Older("typed"));
  for (const char* line : {"A", "B", "B", "", "C"}) history.Add(line);
  EXPECT_EQ(history.Lines(), (QStringList{"C", "B", "A"})) << "newest first, no repeats";

  enum Key { Up, Down, Escape };
  const std::pair<Key, std::optional<QString>> presses[] = {
      {Down, std::nullopt}, {Up, "C"},   {Up, "B"},         {Up, "A"},
      {Up, std::nullopt},   {Down, "B"}, {Down, "C"},       {Down, "typed"},
      {Down, std::nullopt}, {Up, "C"},   {Escape, "typed"}, {Escape, std::nullopt},
  };
  for (const auto& [key, shown] : presses) {
    const auto got = key == Up     ? history.Older("typed")
                     : key == Down ? history.Newer()
                                   : history.BackToEdited();
    EXPECT_EQ(got, shown);
  }

  history.Older("x");
  history.Add("B");
  EXPECT_EQ(history.Older("y"), "B") << "a send starts recall afresh";

  for (int i = 0; i < 600; ++i) history.Add(QString::number(i));
  EXPECT_EQ(history.Lines().size(), CommandHistory::kLimit);
  EXPECT_EQ(history.Lines().front(), "599");

  history.SetLines({"Q", "Q", "", "R"});
  EXPECT_EQ(history.Lines(), (QStringList{"Q", "R"}));
}

}  // namespace
}  // namespace zrt::window::testing
