#include "window/form/caption_table.h"

namespace zrt::window {
namespace {

using P = PortState;

constexpr std::array kCaptions{
    // Function panel
    CaptionRow{"gbo1", P::Any, {"Function", "功能选择", "功能選擇"}},
    CaptionRow{"tsh3", P::Any, {"Page1", "页面1", "頁麵1"}},
    CaptionRow{"Button1", P::Any, {"A_Sine", "A路单频", "A路單頻"}},
    CaptionRow{"Button2", P::Any, {"B_Sine", "B路单频", "B路單頻"}},
    CaptionRow{"Button3", P::Any, {"SweepF", "A路扫频", "A路扫频"}},
    CaptionRow{"Button4", P::Any, {"SweepA", "A路扫幅", "A路掃幅"}},
    CaptionRow{"Button5", P::Any, {"A_FM", "A路调频", "A路調頻"}},
    CaptionRow{"Button7", P::Any, {"A_FSK", "A路FSK", "A路FSK"}},
    CaptionRow{"Button8", P::Any, {"A_ASK", "A路ASK", "A路ASK"}},
    CaptionRow{"Button9", P::Any, {"A_PSK", "A路PSK", "A路PSK"}},
    CaptionRow{"Button11", P::Any, {"Count", "外部测频", "外部測頻"}},
    CaptionRow{"Button13", P::Any, {"System", "系统", "係統"}},
    CaptionRow{"Button96", P::Any, {nullptr, "TTL", "TTL"}},
    CaptionRow{"Button100", P::Any, {"ABurstB", "A路猝发", "A路猝發"}},
    CaptionRow{"Button101", P::Any, {"BBurs tB", "B路猝发", "B路猝發"}},
    // Item panel
    CaptionRow{"gbo2", P::Any, {"Project", "项目选择", "項目選擇"}},
    CaptionRow{"tsh5", P::Any, {"Page1", "页面1", "頁麵1"}},
    CaptionRow{"Button14", P::Any, {"CHA Freq", "A路频率", "A路頻率"}},
    CaptionRow{"Button15", P::Any, {"Vpp", "峰峰值", "峰峰值"}},
    CaptionRow{"Button16", P::Any, {"Step F", "步进频率", "步進頻率"}},
    CaptionRow{"Button17", P::Any, {"Step A", "步进幅度", "步進幅度"}},
    CaptionRow{"Button18", P::Any, {"A_Period", "A路周期", "A路周期"}},
    CaptionRow{"Button19", P::Any, {"Vrms", "有效值", "有效值"}},
    CaptionRow{"Button20", P::Any, {"Phase", "相位", "相位"}},
    CaptionRow{"Button21", P::Any, {"A_Offset", "A路偏移", "A路偏移"}},
    CaptionRow{"Button22", P::Any, {"Attenuation", "A路衰减", "A路衰減"}},
    CaptionRow{"Button23", P::Any, {"A_Duty", "A占空比", "A占空比"}},
    CaptionRow{"Button26", P::Any, {"Switch", "输出开关", "輸出開關"}},
    CaptionRow{"Button27", P::Any, {"CHB Freq", "B路频率", "B路頻率"}},
    CaptionRow{"Button28", P::Any, {"B_Harmonic", "B路谐波", "B路諧波"}},
    CaptionRow{"Button29", P::Any, {"B_Wave", "B路波形", "B路波形"}},
    CaptionRow{"Button32", P::Any, {"Start F", "始点频率", "始點頻率"}},
    CaptionRow{"Button33", P::Any, {"Stop F", "终点频率", "終點頻率"}},
    CaptionRow{"Button34", P::Any, {"Sweep Mode", "扫描方式", "掃描方式"}},
    CaptionRow{"Button35", P::Any, {"Interval time", "间隔时间", "間隔時間"}},
    CaptionRow{"Button36", P::Any, {"Single Burst", "单次猝发", "單次猝發"}},
    CaptionRow{"Button37", P::Any, {"Single Trigger", "单次触发", "單次觸發"}},
    CaptionRow{"Button38", P::Any, {"Start A", "始点幅度", "始點幅度"}},
    CaptionRow{"Button39", P::Any, {"Stop A", "终点幅度", "終點幅度"}},
    CaptionRow{"Button40", P::Any, {"B_Period", "B路周期", "B路周期"}},
    CaptionRow{"Button41", P::Any, {"A_Amplitude", "A路幅度", "A路幅度"}},
    CaptionRow{"Button42", P::Any, {"Carrier F", "载波频率", "載波頻率"}},
    CaptionRow{"Button43", P::Any, {"Carrier A", "载波幅度", "載波幅度"}},
    CaptionRow{"Button44", P::Any, {"MOD Freq", "调制频率", "調製頻率"}},
    CaptionRow{"Button45", P::Any, {"FM Devia", "调频深度", "調頻深度"}},
    CaptionRow{"Button46", P::Any, {"MOD Wave", "调制波形", "調製波形"}},
    CaptionRow{"Button47", P::Any, {"MOD Source", "外调制", "外調製"}},
    CaptionRow{"Button49", P::Any, {"Hop Freq", "跳变频率", "跳變頻率"}},
    CaptionRow{"Button50", P::Any, {"Hop Ampl", "跳变幅度", "跳變幅度"}},
    CaptionRow{"Button51", P::Any, {"Hop Phase", "跳变相移", "跳變相移"}},
    CaptionRow{"Button52", P::Any, {"B_Amplitude", "B路幅度", "B路幅度"}},
    CaptionRow{"Button53", P::Any, {"Cycles", "猝发计数", "猝發計數"}},
    CaptionRow{"Button54", P::Any, {"Burst F", "猝发频率", "猝發頻率"}},
    CaptionRow{"Button56", P::Any, {"Measure F", "测量频率", "測量頻率"}},
    CaptionRow{"Button57", P::Any, {"Strobe Time", "闸门时间", "閘門時間"}},
    CaptionRow{"Button60", P::Any, {"Recall", "参数调出", "參數調出"}},
    CaptionRow{"Button61", P::Any, {"Store", "参数存储", "參數存儲"}},
    CaptionRow{"Button63", P::Any, {"Address", "接口地址", "接口地址"}},
    CaptionRow{"Button64", P::Any, {"Language", "语言设置", "語言設置"}},
    CaptionRow{"Button65", P::Any, {"Beep", "蜂鸣器", "蜂鳴器"}},
    CaptionRow{"Button106", P::Any, {"A_Wave", "A路波形", "A路波形"}},
    CaptionRow{"Button108", P::Any, {"B_Duty", "B占空比", "B占空比"}},
    CaptionRow{"Button109", P::Any, {"Auto Sweep", "自动扫描", "自動掃描"}},
    CaptionRow{"Button110", P::Any, {"TTLA Burst", "TTLA猝发", "TTLA猝發"}},
    CaptionRow{"Button111", P::Any, {"External Burst", "外部猝发", "外部猝發"}},
    CaptionRow{"Button112", P::Any, {"TTLA Freq", "TTLA 频率", "TTLA 頻率"}},
    CaptionRow{"Button113", P::Any, {"TTLA Duty", "TTLA 占空比", "TTLA 占空比"}},
    CaptionRow{"Button114", P::Any, {"TTLB Freq", "TTLB 频率", "TTLB 頻率"}},
    CaptionRow{"Button115", P::Any, {"TTLB Duty", "TTLB 占空比", "TTLB 占空比"}},
    CaptionRow{"Button97", P::Any, {"Copyright", "程序版本", "程序版本"}},
    CaptionRow{"Button98", P::Any, {"Reset", "复位", "複位"}},
    CaptionRow{"Button102", P::Any, {"Return", "返回", "返回"}},
    CaptionRow{"Button103", P::Any, {"RS232", "RS232", "RS232"}},
    CaptionRow{"Button104", P::Any, {"USB", "USB", "USB"}},
    // Other panels, settings pages and command area
    CaptionRow{"gbo3", P::Any, {"Input Data", "数据输入", "數據輸入"}},
    CaptionRow{"gbo5", P::Any, {"Punctuation", "符号输入", "符號輸入"}},
    CaptionRow{"gbo4", P::Any, {"Unit", "单位选择", "單位選擇"}},
    CaptionRow{"tsh1", P::Any, {"Parameter select ", "参数选择", "參數選擇"}},
    CaptionRow{"rg2", P::Any, {"Interface", "接口选择", "接口选择"}},
    CaptionRow{"rg3", P::Any, {"Language", "语言选择", "语言選擇"}},
    CaptionRow{"tsh2", P::Any, {"Parameter set", "参数设置", "參數设置"}},
    CaptionRow{"gbo6", P::Any, {"Serial Port", "串口设置", "串口設置"}},
    CaptionRow{"btn101", P::Any, {"Address", "地址", "地址"}},
    CaptionRow{"btn106", P::Open, {"Open ", "打开", "打開"}},
    CaptionRow{"btn106", P::Closed, {"Close", "关闭", "關閉"}},
    CaptionRow{"lbe3", P::Any, {"BaudRate", "波特率", "波特率"}},
    CaptionRow{"lbe4", P::Any, {"Serial", "端口", "端口"}},
    CaptionRow{"tsh6", P::Any, {"Version", "版本", "版本"}},
    CaptionRow{"lbel1", P::Any, {"Order", "程控命令", "程控命令"}},
    CaptionRow{"lbel2", P::Any, {"Display", "数据显示", "數據顯示"}},
    CaptionRow{"btn96", P::Any, {"Send", "发送", "發送"}},
    CaptionRow{"btn100", P::Any, {"Cancel", "清除", "清除"}},
};

}  // namespace

std::span<const CaptionRow> CaptionTable() { return kCaptions; }

const char* CaptionFor(const CaptionRow& row, Language language, bool portOpen) {
  if (row.when == PortState::Open && !portOpen) return nullptr;
  if (row.when == PortState::Closed && portOpen) return nullptr;
  return row.text[static_cast<std::size_t>(language)];
}

const char* CaptionOf(std::string_view control, Language language) {
  for (const CaptionRow& row : kCaptions) {
    if (row.control == control && row.when == PortState::Any)
      return CaptionFor(row, language, false);
  }
  return nullptr;
}

std::string_view PortButtonCaption(Language language, bool portOpen) {
  if (language == Language::English) return portOpen ? "Open" : "Close";
  return portOpen ? "打开" : "关闭";
}

}  // namespace zrt::window
