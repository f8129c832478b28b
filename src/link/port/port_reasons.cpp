#include "link/port/port_reasons.h"

#include <array>

namespace zrt::link {
namespace {

// One row per PortReason after System, in its order; one column per language.
constexpr std::array<std::array<const char*, 3>, static_cast<std::size_t>(PortReason::Count) - 1>
    kTexts = {{
        {"%1 is not an address: rfc2217://HOST:PORT or tcp://HOST:PORT",
         "%1 不是地址：应为 rfc2217://主机:端口 或 tcp://主机:端口",
         "%1 不是位址：應為 rfc2217://主機:埠 或 tcp://主機:埠"},
        {"the server %1 closed the connection", "服务器 %1 关闭了连接", "伺服器 %1 關閉了連線"},
        {"the server %1 closed the connection at once: its port may be busy with another "
         "connection",
         "服务器 %1 立即关闭了连接：它的端口可能正被另一个连接占用",
         "伺服器 %1 立即關閉了連線：它的埠可能正被另一個連線佔用"},
        {"the server %1 took nothing for %2 s: the connection was dropped",
         "服务器 %1 已有 %2 秒不接收数据：连接已断开",
         "伺服器 %1 已有 %2 秒不接收資料：連線已中斷"},
        {"the connection to %1 failed", "与 %1 的连接出错", "與 %1 的連線出錯"},
        {"the server did not answer %1 within %2 s", "服务器没有在 %2 秒内回应 %1",
         "伺服器沒有在 %2 秒內回應 %1"},
        {"the server set %1 instead of %2", "服务器设置了 %1，而不是 %2",
         "伺服器設定了 %1，而不是 %2"},
        {"the server did not answer %1", "服务器没有回应 %1", "伺服器沒有回應 %1"},
        {"%1 speaks RFC 2217: use rfc2217://", "%1 使用 RFC 2217 协议：请用 rfc2217://",
         "%1 使用 RFC 2217 協定：請用 rfc2217://"},
        {"%1 is not an RFC 2217 server (it offered no Telnet options): use tcp://",
         "%1 不是 RFC 2217 服务器（它没有提出 Telnet 选项）：请用 tcp://",
         "%1 不是 RFC 2217 伺服器（它沒有提出 Telnet 選項）：請用 tcp://"},
        {"%1 is held by another program (process %2, lock file %3)",
         "%1 正被另一个程序占用（进程 %2，锁文件 %3）",
         "%1 正被另一個程式佔用（行程 %2，鎖定檔 %3）"},
        {"%1 is held by another program (lock file %2)", "%1 正被另一个程序占用（锁文件 %2）",
         "%1 正被另一個程式佔用（鎖定檔 %2）"},
    }};

}  // namespace

std::string SayPortNote(const PortNote& note, std::size_t language) {
  if (note.why == PortReason::System || note.why >= PortReason::Count || language >= 3) return {};
  const std::string text = kTexts[static_cast<std::size_t>(note.why) - 1][language];
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
      const std::size_t arg = static_cast<std::size_t>(text[i + 1] - '1');
      if (arg < note.args.size()) out += note.args[arg];
      ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

}  // namespace zrt::link
