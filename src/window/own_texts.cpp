#include "window/own_texts.h"

#include <array>

namespace zrt::window {
namespace {

// One row per OwnText, in its order; one column per language index. To add
// a text, add its name to OwnText and its row here.
constexpr std::array<std::array<const char*, kLanguageCount>,
                     static_cast<std::size_t>(OwnText::Count)>
    kTexts = {{
        {"The serial port %1 was closed: its device is gone.", "串口 %1 已断开，端口已关闭。",
         "串口 %1 已斷開，端口已關閉。"},
        {"(no address at the start: sent as typed)", "（行首没有地址：按原样发送）",
         "（行首沒有地址：按原樣發送）"},
    }};

}  // namespace

QString TextIn(OwnText text, Language language) {
  return QString::fromUtf8(
      kTexts[static_cast<std::size_t>(text)][static_cast<std::size_t>(language)]);
}

}  // namespace zrt::window
