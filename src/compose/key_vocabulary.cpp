#include "compose/key_vocabulary.h"

#include <algorithm>
#include <array>

namespace zrt::compose {
namespace {

constexpr std::uint8_t N = kNoUnitGroup;

// Data keys run in the keypad's reading order (7 8 9, 4 5 6, 1 2 3, 0 . -),
// not by digit value. Full-width captions append their ASCII counterparts.
constexpr std::array kKeys{
    // Function keys
    KeyEntry{0, "Button1", "A路单频", "CHA", N},
    KeyEntry{1, "Button2", "B路单频", "CHB", N},
    KeyEntry{2, "Button3", "A路扫频", "FSWP", N},
    KeyEntry{3, "Button4", "A路扫幅", "ASWP", N},
    KeyEntry{4, "Button5", "A路调频", "FM", N},
    KeyEntry{5, "", "", "AM", N},
    KeyEntry{6, "Button7", "A路FSK", "FSK", N},
    KeyEntry{7, "Button8", "A路ASK", "ASK", N},
    KeyEntry{8, "Button9", "A路PSK", "PSK", N},
    KeyEntry{9, "", "", "BURST", N},
    KeyEntry{10, "Button11", "外部测频", "COUNT", N},
    KeyEntry{12, "Button13", "系统", "SYS", N},
    KeyEntry{13, "Button96", "TTL", "TTL", N},
    KeyEntry{14, "Button100", "A路猝发", "ABURST", N},
    KeyEntry{15, "Button101", "B路猝发", "BBURST", N},
    // Item keys
    KeyEntry{21, "Button14", "A路频率", "AFREQ", 0},
    KeyEntry{22, "Button15", "峰峰值", "VPP", 1},
    KeyEntry{23, "Button16", "步进频率", "STEPF", 0},
    KeyEntry{24, "Button17", "步进幅度", "STEPA", 1},
    KeyEntry{25, "Button18", "A路周期", "APERD", 3},
    KeyEntry{26, "Button19", "有效值", "VRMS", 2},
    KeyEntry{27, "Button20", "相位", "PHASE", 6},
    KeyEntry{28, "Button21", "A路偏移", "AOFFS", 10},
    KeyEntry{29, "Button22", "A路衰减", "AATTE", 7},
    KeyEntry{30, "Button23", "A占空比", "ADUTY", 9},
    KeyEntry{31, "", "", "SINE", N},
    KeyEntry{32, "", "", "SQUAR", N},
    KeyEntry{33, "Button26", "输出开关", "SWITCH", 8},
    KeyEntry{34, "Button27", "B路频率", "BFREQ", 0},
    KeyEntry{35, "Button28", "B路谐波", "BHARM", 4},
    KeyEntry{36, "Button29", "B路波形", "BWAVE", 8},
    KeyEntry{37, "", "", "BTRIG", N},
    KeyEntry{38, "", "", "BRAMP", N},
    KeyEntry{39, "Button32", "始点频率", "STARF", 0},
    KeyEntry{40, "Button33", "终点频率", "STOPF", 0},
    KeyEntry{41, "Button34", "扫描方式", "MODEL", 8},
    KeyEntry{42, "Button35", "间隔时间", "INTVL", 3},
    KeyEntry{43, "Button36", "单次猝发", "ONCES", N},
    KeyEntry{44, "Button37", "单次触发", "TRIGG", N},
    KeyEntry{45, "Button38", "始点幅度", "STARA", 1},
    KeyEntry{46, "Button39", "终点幅度", "STOPA", 1},
    KeyEntry{47, "Button40", "B路周期", "BPERD", 3},
    KeyEntry{48, "Button41", "A路幅度", "AAMPL", 1},
    KeyEntry{49, "Button42", "载波频率", "CARRF", 0},
    KeyEntry{50, "Button43", "载波幅度", "CARRA", 1},
    KeyEntry{51, "Button44", "调制频率", "MODUF", 0},
    KeyEntry{52, "Button45", "调频深度", "DEVIA", 9},
    KeyEntry{53, "Button46", "调制波形", "MWAVE", 8},
    KeyEntry{54, "Button47", "外调制", "EXT", N},
    KeyEntry{55, "", "", "DEPTH", 9},
    KeyEntry{56, "Button49", "跳变频率", "HOPF", 0},
    KeyEntry{57, "Button50", "跳变幅度", "HOPA", 1},
    KeyEntry{58, "Button51", "跳变相移", "HOPP", 6},
    // The instrument takes the carrier-amplitude mnemonic for channel B's amplitude.
    KeyEntry{59, "Button52", "B路幅度", "CARRA", 1},
    KeyEntry{60, "Button53", "猝发计数", "NCYCL", 5},
    KeyEntry{61, "Button54", "猝发频率", "BURSF", 0},
    KeyEntry{62, "", "", "BNOISE", N},
    KeyEntry{63, "Button56", "测量频率", "MEASF", N},
    KeyEntry{64, "Button57", "闸门时间", "STROBE", 3},
    KeyEntry{65, "", "", "LPF", 8},
    KeyEntry{66, "", "", "AUTO", N},
    KeyEntry{67, "Button60", "参数调出", "RECAL", 8},
    KeyEntry{68, "Button61", "参数存储", "STORE", 8},
    KeyEntry{69, "", "", "INTER", 8},
    KeyEntry{70, "Button63", "接口地址", "ADDR", 8},
    KeyEntry{71, "Button64", "语言设置", "LANG", 8},
    KeyEntry{72, "Button65", "蜂鸣器", "BEEP", 8},
    KeyEntry{73, "Button97", "程序版本", "VER", N},
    KeyEntry{74, "Button98", "复位", "RESET", N},
    KeyEntry{75, "Button102", "返回", "LOCAL", N},
    KeyEntry{76, "Button103", "RS232", "RS232", N},
    KeyEntry{77, "Button104", "USB", "USB", N},
    KeyEntry{78, "", "", "TTL", N},
    KeyEntry{79, "Button106", "A路波形", "AWAVE", 8},
    KeyEntry{80, "Button108", "B占空比", "BDUTY", 9},
    KeyEntry{81, "Button109", "自动扫描", "AUTO", N},
    KeyEntry{82, "Button110", "TTLA猝发", "TTLTR", N},
    KeyEntry{83, "Button111", "外部猝发", "EXTTR", N},
    KeyEntry{84, "Button112", "TTLA频率", "TTLAF", 0},
    KeyEntry{85, "Button113", "TTLA占空比", "TTLAD", 9},
    KeyEntry{86, "Button114", "TTLB频率", "TTLBF", 0},
    KeyEntry{87, "Button115", "TTLB占空比", "TTLBD", 9},
    KeyEntry{88, "Button116", "任意波", "ARB", 8},
    // Data keys
    KeyEntry{96, "Button66", "7", "7", N},
    KeyEntry{97, "Button67", "8", "8", N},
    KeyEntry{98, "Button68", "9", "9", N},
    KeyEntry{99, "Button69", "4", "4", N},
    KeyEntry{100, "Button70", "5", "5", N},
    KeyEntry{101, "Button71", "6", "6", N},
    KeyEntry{102, "Button72", "1", "1", N},
    KeyEntry{103, "Button73", "2", "2", N},
    KeyEntry{104, "Button74", "3", "3", N},
    KeyEntry{105, "Button75", "0", "0", N},
    KeyEntry{106, "Button76", "．", ".", N},
    KeyEntry{107, "Button77", "－", "-", N},
    // Symbol keys
    KeyEntry{112, "Button94", "：", ":", N},
    KeyEntry{113, "Button95", "？", "?", N},
    // Unit keys: the caption is the key text. Codes run down the unit grid's
    // columns, except that "mVdc" (below "mVrms") comes last.
    KeyEntry{128, "Button78", "MHz", "MHz", N},
    KeyEntry{129, "Button79", "kHz", "kHz", N},
    KeyEntry{130, "Button80", "Hz", "Hz", N},
    KeyEntry{131, "Button81", "mHz", "mHz", N},
    KeyEntry{132, "Button99", "Vdc", "Vdc", N},
    KeyEntry{133, "Button82", "Vpp", "Vpp", N},
    KeyEntry{134, "Button83", "mVpp", "mVpp", N},
    KeyEntry{135, "Button84", "Vrms", "Vrms", N},
    KeyEntry{136, "Button85", "mVrms", "mVrms", N},
    KeyEntry{137, "Button86", "S", "S", N},
    KeyEntry{138, "Button87", "mS", "mS", N},
    KeyEntry{139, "Button88", "TIME", "TIME", N},
    KeyEntry{140, "Button89", "CYCL", "CYCL", N},
    KeyEntry{141, "Button90", "DEG", "DEG", N},
    KeyEntry{142, "Button91", "dB", "dB", N},
    KeyEntry{143, "Button92", "No.", "No.", N},
    KeyEntry{144, "Button93", "%", "%", N},
    KeyEntry{145, "Button105", "mVdc", "mVdc", N},
};

constexpr bool SortedByCode() {
  for (std::size_t i = 1; i < kKeys.size(); ++i) {
    if (kKeys[i - 1].code >= kKeys[i].code) return false;
  }
  return true;
}
static_assert(SortedByCode(), "FindKey relies on ascending, unique codes");
static_assert(kKeys.back().code == kMaxKeyCode);

}  // namespace

KeyClass ClassOf(int keyCode) {
  if (keyCode >= 0 && keyCode <= 15) return KeyClass::Function;
  if (keyCode >= 21 && keyCode <= 88) return KeyClass::Item;
  if (keyCode >= 96 && keyCode <= 107) return KeyClass::Data;
  if (keyCode >= 112 && keyCode <= 113) return KeyClass::Symbol;
  if (keyCode >= 128 && keyCode <= 145) return KeyClass::Unit;
  return KeyClass::Outside;
}

std::span<const KeyEntry> Vocabulary() { return kKeys; }

const KeyEntry* FindKey(int keyCode) {
  const auto it = std::lower_bound(kKeys.begin(), kKeys.end(), keyCode,
                                   [](const KeyEntry& e, int code) { return e.code < code; });
  return it != kKeys.end() && it->code == keyCode ? &*it : nullptr;
}

const KeyEntry* FindKeyByButton(std::string_view button) {
  if (button.empty()) return nullptr;
  const auto it = std::find_if(kKeys.begin(), kKeys.end(),
                               [button](const KeyEntry& e) { return e.button == button; });
  return it != kKeys.end() ? &*it : nullptr;
}

std::vector<int> ButtonKeys(KeyClass keyClass) {
  std::vector<int> keys;
  for (const KeyEntry& key : kKeys) {
    if (ClassOf(key.code) == keyClass && !key.button.empty()) keys.push_back(key.code);
  }
  return keys;
}

std::string_view KeyText(int keyCode) {
  const KeyEntry* entry = FindKey(keyCode);
  return entry ? entry->keyText : std::string_view{};
}

}  // namespace zrt::compose
