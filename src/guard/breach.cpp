#include "guard/breach.h"

#include <array>
#include <cstddef>

#include "settings/units.h"

namespace zrt::guard {

std::string Describe(const LimitBreach& breach, int language) {
  // %2 the channel, %3 the value, %4 the limit, %5 the part of the line.
  static constexpr std::array<std::array<const char*, 3>, 10> kTexts{{
      {"channel %2's frequency would be %3; its limit is %4", "%2路频率将为 %3，超过上限 %4",
       "%2路頻率將為 %3，超過上限 %4"},
      {"channel %2's amplitude would be %3; its limit is %4", "%2路幅度将为 %3，超过上限 %4",
       "%2路幅度將為 %3，超過上限 %4"},
      {"channel %2's output would go down to %3 (the offset less half the amplitude); its "
       "lowest offset is %4",
       "%2路输出将低至 %3（偏移减半个幅度），低于偏移下限 %4",
       "%2路輸出將低至 %3（偏移減半個幅度），低於偏移下限 %4"},
      {"channel %2's output would go up to %3 (the offset plus half the amplitude); its "
       "highest offset is %4",
       "%2路输出将高至 %3（偏移加半个幅度），高于偏移上限 %4",
       "%2路輸出將高至 %3（偏移加半個幅度），高於偏移上限 %4"},
      {"the line cannot be read from '%5' on; the limits cannot be checked",
       "该行从“%5”起无法读取，无法检查限值", "該行從「%5」起無法讀取，無法檢查限值"},
      {"channel %2's output cannot be checked against its limits: %5 is not known and the "
       "instrument did not tell it when asked; set it or read it back first",
       "无法按限值检查%2路输出：%5 未知，询问仪器也未得到回答；请先设置或读回它",
       "無法按限值檢查%2路輸出：%5 未知，詢問儀器也未得到回答；請先設定或讀回它"},
      {"%5 cannot be %3: the least it can be is %4", "%5 不能为 %3：最小为 %4",
       "%5 不能為 %3：最小為 %4"},
      {"%5 cannot be %3: the most it can be is %4", "%5 不能为 %3：最大为 %4",
       "%5 不能為 %3：最大為 %4"},
      {"channel %2's amplitude is given in Vrms but its waveform is not known or is noise: "
       "its peak-to-peak cannot be told; choose the waveform first or give the amplitude in Vpp",
       "%2路幅度以有效值给出，但其波形未知或为噪声，无法得知峰峰值；请先选择波形，或以 Vpp "
       "给出幅度",
       "%2路幅度以有效值給出，但其波形未知或為雜訊，無法得知峰峰值；請先選擇波形，或以 Vpp "
       "給出幅度"},
      {"all outputs were switched off while it waited: it would switch channel %2's output on "
       "again",
       "等待期间已关闭全部输出：该行会重新打开%2路输出",
       "等待期間已關閉全部輸出：該行會重新開啟%2路輸出"},
  }};
  std::string unit = breach.unit;
  if (unit.empty()) {
    unit = breach.limit == Limit::MaxFrequency   ? "Hz"
           : breach.limit == Limit::MaxAmplitude ? "Vpp"
                                                 : "V";
  }
  const std::array<std::string, 5> fill{breach.line, std::string(1, breach.channel),
                                        settings::Quantity(breach.value, unit),
                                        settings::Quantity(breach.bound, unit), breach.part};
  std::string text =
      kTexts[static_cast<std::size_t>(breach.limit)][static_cast<std::size_t>(language % 3)];
  for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at)) {
    if (at + 1 >= text.size() || text[at + 1] < '1' || text[at + 1] > '5') {
      ++at;  // a percent sign of the text's own
      continue;
    }
    const std::size_t which = static_cast<std::size_t>(text[at + 1] - '1');
    text.replace(at, 2, fill[which]);
    at += fill[which].size();
  }
  return text;
}

}  // namespace zrt::guard
