#include "compose/key_vocabulary.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

namespace zrt::compose {
namespace {

TEST(KeyVocabulary, SharedKeyTextsStayShared) {
  // "B路幅度" sends the carrier-amplitude mnemonic; two codes each send TTL and AUTO.
  EXPECT_EQ(KeyText(50), "CARRA");
  EXPECT_EQ(KeyText(59), "CARRA");
  EXPECT_EQ(KeyText(13), "TTL");
  EXPECT_EQ(KeyText(78), "TTL");
  EXPECT_EQ(KeyText(66), "AUTO");
  EXPECT_EQ(KeyText(81), "AUTO");
}

TEST(KeyVocabulary, LookAlikeItemAndUnitTextsDifferByCase) {
  EXPECT_EQ(KeyText(22), "VPP");
  EXPECT_EQ(KeyText(133), "Vpp");
  EXPECT_EQ(KeyText(26), "VRMS");
  EXPECT_EQ(KeyText(135), "Vrms");
  // The buttons captioned like units are item keys.
  ASSERT_NE(FindKeyByButton("Button15"), nullptr);
  EXPECT_EQ(FindKeyByButton("Button15")->code, 22);
  EXPECT_EQ(FindKeyByButton("Button19")->code, 26);
  EXPECT_EQ(ClassOf(22), KeyClass::Item);
}

TEST(KeyVocabulary, FullWidthCaptionsAppendAscii) {
  for (auto [code, text] : {std::pair{106, "."}, {107, "-"}, {112, ":"}, {113, "?"}}) {
    const KeyEntry* key = FindKey(code);
    ASSERT_NE(key, nullptr) << code;
    EXPECT_EQ(key->keyText, text) << code;
    EXPECT_NE(key->designCaption, key->keyText) << "caption is the full-width form";
  }
}

TEST(KeyVocabulary, EveryKeyTextIsShortPrintableAscii) {
  for (const KeyEntry& key : Vocabulary()) {
    EXPECT_GE(key.keyText.size(), 1u) << key.code;
    EXPECT_LE(key.keyText.size(), 6u) << key.code;
    for (char c : key.keyText) {
      EXPECT_TRUE(c > ' ' && c < 0x7f) << "code " << key.code << " has a byte outside ASCII";
    }
  }
}

TEST(KeyVocabulary, CodesOutsideTheVocabularyHaveNoText) {
  std::vector<int> outside = {11, 146, 255, 1000, -1, INT_MIN, INT_MAX};
  for (int code = 16; code <= 20; ++code) outside.push_back(code);
  for (int code = 89; code <= 95; ++code) outside.push_back(code);
  for (int code = 108; code <= 111; ++code) outside.push_back(code);
  for (int code = 114; code <= 127; ++code) outside.push_back(code);
  for (int code : outside) {
    EXPECT_TRUE(KeyText(code).empty()) << code;
    EXPECT_EQ(FindKey(code), nullptr) << code;
  }
}

TEST(KeyVocabulary, CodesWithoutAButtonStillHaveTheirTexts) {
  EXPECT_EQ(KeyText(5), "AM");
  EXPECT_EQ(KeyText(9), "BURST");
  EXPECT_EQ(KeyText(62), "BNOISE");
  EXPECT_EQ(FindKey(55)->unitGroup, 9);
  for (int code : {5, 9, 31, 32, 37, 38, 55, 62, 65, 66, 69, 78}) {
    EXPECT_TRUE(FindKey(code)->button.empty()) << code;
  }
}

TEST(KeyVocabulary, ButtonsAndCodesAreOneToOne) {
  std::set<std::string_view> buttons;
  std::set<int> codes;
  for (const KeyEntry& key : Vocabulary()) {
    EXPECT_TRUE(codes.insert(key.code).second) << "code " << key.code << " twice";
    EXPECT_NE(ClassOf(key.code), KeyClass::Outside) << key.code;
    if (key.button.empty()) continue;
    EXPECT_TRUE(buttons.insert(key.button).second) << key.button << " has two codes";
    EXPECT_EQ(FindKeyByButton(key.button), &key);
  }
  // 13 function, 58 item, 12 data, 2 symbol and 18 unit buttons.
  EXPECT_EQ(buttons.size(), 103u);
  EXPECT_EQ(ButtonKeys(KeyClass::Function).size(), 13u);
  EXPECT_EQ(ButtonKeys(KeyClass::Item).size(), 58u);
  EXPECT_EQ(ButtonKeys(KeyClass::Unit).size(), 18u);
}

TEST(KeyVocabulary, UnitGroupsBelongToItemKeysOnly) {
  for (const KeyEntry& key : Vocabulary()) {
    if (ClassOf(key.code) == KeyClass::Item) {
      EXPECT_TRUE(key.unitGroup <= 10 || key.unitGroup == kNoUnitGroup) << key.code;
    } else {
      EXPECT_EQ(key.unitGroup, kNoUnitGroup) << key.code;
    }
  }
}

TEST(KeyVocabulary, ClassRangesHaveExactEdges) {
  EXPECT_EQ(ClassOf(-1), KeyClass::Outside);
  EXPECT_EQ(ClassOf(0), KeyClass::Function);
  EXPECT_EQ(ClassOf(15), KeyClass::Function);
  EXPECT_EQ(ClassOf(16), KeyClass::Outside);
  EXPECT_EQ(ClassOf(21), KeyClass::Item);
  EXPECT_EQ(ClassOf(88), KeyClass::Item);
  EXPECT_EQ(ClassOf(96), KeyClass::Data);
  EXPECT_EQ(ClassOf(107), KeyClass::Data);
  EXPECT_EQ(ClassOf(112), KeyClass::Symbol);
  EXPECT_EQ(ClassOf(113), KeyClass::Symbol);
  EXPECT_EQ(ClassOf(128), KeyClass::Unit);
  EXPECT_EQ(ClassOf(145), KeyClass::Unit);
  EXPECT_EQ(ClassOf(146), KeyClass::Outside);
}

}  // namespace
}  // namespace zrt::compose
