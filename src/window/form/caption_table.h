// The three caption tables of the window (English, simplified Chinese,
// traditional Chinese) as one table with a column per language. Texts are
// exact, trailing blanks and odd spellings included: operators and manuals
// refer to them as they stand.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace zrt::window {

// Matches the selected index of the language radio group.
enum class Language { English = 0, SimplifiedChinese = 1, TraditionalChinese = 2 };
inline constexpr int kLanguageCount = 3;

// Rows that apply only while the serial port is open or closed (the Open/Close
// button names the port's present state).
enum class PortState { Any, Open, Closed };

struct CaptionRow {
  std::string_view control;  // Qt object name
  PortState when;
  std::array<const char*, kLanguageCount> text;  // UTF-8; nullptr: not in that language's table
};

// In the order the tables are applied.
std::span<const CaptionRow> CaptionTable();

// The caption a row gives in a language for the port's state, or nullptr when
// the row does not apply.
const char* CaptionFor(const CaptionRow& row, Language language, bool portOpen);

// The caption a control has in a language whatever the port's state (a
// key's, say), or nullptr when no row gives it one.
const char* CaptionOf(std::string_view control, Language language);

// The Open/Close button's captions set when the port is opened or closed from
// the window: English keeps no trailing blank, every other language gets the
// simplified text until the next language switch.
std::string_view PortButtonCaption(Language language, bool portOpen);

}  // namespace zrt::window
