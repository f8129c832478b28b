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
        {"Output held by the instrument (XOFF): %1 of %2 bytes sent so far",
         "仪器暂停了输出（XOFF）：已发送 %1/%2 字节",
         "儀器暫停了輸出（XOFF）：已傳送 %1/%2 位元組"},
        {"This line is %1 bytes long and takes %2 s to send (10 ms per byte). Send it?",
         "这一行有 %1 字节，发送需要 %2 秒（每字节 10 毫秒）。要发送吗？",
         "這一行有 %1 位元組，傳送需要 %2 秒（每位元組 10 毫秒）。要傳送嗎？"},
        {"%1 %2 bit/s: closed", "%1 %2 bit/s：已关闭", "%1 %2 bit/s：已關閉"},
        {"%1 %2 bit/s: open", "%1 %2 bit/s：已打开", "%1 %2 bit/s：已開啟"},
        {"%1 %2 bit/s: held (XOFF)", "%1 %2 bit/s：仪器暂停（XOFF）",
         "%1 %2 bit/s：儀器暫停（XOFF）"},
        {"%1 %2 bit/s: gone, waiting for it to come back", "%1 %2 bit/s：已断开，等待重新连接",
         "%1 %2 bit/s：已斷開，等待重新連線"},
        {"%1 closed", "%1 已关闭", "%1 已關閉"},
        {"%1 open", "%1 已打开", "%1 已開啟"},
        {"%1 held", "%1 暂停", "%1 暫停"},
        {"%1 gone", "%1 已断开", "%1 已斷開"},
        {"USB: opened", "USB：已打开", "USB：已開啟"},
        {"USB: not opened", "USB：未打开", "USB：未開啟"},
        {"Log", "日志", "日誌"},
        {"Reopen a port that comes back", "端口恢复后重新打开", "埠恢復後重新開啟"},
        {"Waiting for %1 to come back, to reopen it", "等待 %1 恢复，以便重新打开",
         "等待 %1 恢復，以便重新開啟"},
        {"%1 came back and was reopened", "%1 已恢复并重新打开", "%1 已恢復並重新開啟"},
        {"Hex", "十六进制", "十六進位"},
        {"Clear log", "清除日志", "清除日誌"},
        {"Save…", "保存…", "儲存…"},
        {"%1 older entries dropped", "已丢弃 %1 条较早的记录", "已丟棄 %1 筆較早的記錄"},
        {"Copy", "复制", "複製"},
        {"Select all", "全选", "全選"},
        {"Sequence…", "序列…", "序列…"},
        {"Run", "运行", "執行"},
        {"Step", "单步", "單步"},
        {"Pause", "暂停", "暫停"},
        {"Stop", "停止", "停止"},
        {"%1: %2 steps, ready to run", "%1：共 %2 步，可以运行", "%1：共 %2 步，可以執行"},
        {"%1 could not be read: %2", "无法读取 %1：%2", "無法讀取 %1：%2"},
        {"step %1 of %2 (%3:%4): %5", "第 %1/%2 步（%3:%4）：%5", "第 %1/%2 步（%3:%4）：%5"},
        {"cut: %1 of %2 bytes went out", "中断：已发送 %1/%2 字节", "中斷：已傳送 %1/%2 位元組"},
        {"The settings in %1 could not all be read; the panel's own are used where they could "
         "not.",
         "%1 中的设置无法全部读取；读不出的项使用面板自身的设置。",
         "%1 中的設定無法全部讀取；讀不出的項目使用面板自身的設定。"},
        {nullptr, "没有这个设备", "沒有這個裝置"},
        {nullptr, "端口忙：另一个程序正在使用它", "埠忙：另一個程式正在使用它"},
        {nullptr, "没有权限", "沒有權限"},
        {nullptr,
         "没有权限：%1 属于用户组“%2”。请把您的用户加入该组（sudo usermod -aG %2 $USER），"
         "然后重新登录。",
         "沒有權限：%1 屬於使用者群組「%2」。請把您的使用者加入該群組（sudo usermod -aG %2 "
         "$USER），然後重新登入。"},
        {nullptr, "%1 不是串口终端", "%1 不是串列埠終端"},
        {nullptr, "%1 拒绝了连接（那里没有服务器在监听）", "%1 拒絕了連線（那裡沒有伺服器在監聽）"},
        {nullptr, "无法连接到 %1", "無法連線到 %1"},
        {nullptr, "找不到主机 %1", "找不到主機 %1"},
        {nullptr, "%1 没有确认线路设置", "%1 沒有確認線路設定"},
        {nullptr, "%1 不接受这些线路设置", "%1 不接受這些線路設定"},
        {"The serial port does not take the baud rate %1", "串口不接受波特率 %1",
         "串列埠不接受鮑率 %1"},
        {"'%1' is not a valid baud rate", "'%1' 不是有效的波特率", "'%1' 不是有效的鮑率"},
        {"Sequences (*.zrt *.txt);;All (*)", "序列 (*.zrt *.txt);;全部 (*)",
         "序列 (*.zrt *.txt);;全部 (*)"},
        {"Text (*.txt);;CSV (*.csv)", "文本 (*.txt);;CSV (*.csv)", "文字 (*.txt);;CSV (*.csv)"},
        {"%1: not sent: %2", "%1：未发送：%2", "%1：未傳送：%2"},
        {"'%1' (U+%2) at position %3 has no byte the instrument takes: nothing was sent",
         "第 %3 个字符 '%1'（U+%2）没有仪器能接收的字节：什么也没有发送",
         "第 %3 個字元 '%1'（U+%2）沒有儀器能接收的位元組：什麼也沒有傳送"},
        {"Send is held after the sweep trigger for %1 s more", "扫描触发后发送暂停，还需 %1 秒",
         "掃描觸發後傳送暫停，還需 %1 秒"},
        {"Port %1 closed: the port name changed", "端口 %1 已关闭：端口名称已更改",
         "埠 %1 已關閉：埠名稱已變更"},
        {"The serial port %1 was closed: its server is gone.",
         "串口 %1 的服务器已断开，端口已关闭。", "串口 %1 的伺服器已斷開，端口已關閉。"},
        {"%1 cannot be waited for (it does not come back by itself): open it again by hand",
         "无法等待 %1 恢复（它不会自行恢复）：请手动重新打开",
         "無法等待 %1 恢復（它不會自行恢復）：請手動重新開啟"},
        {"The line was cut: %1 of %2 bytes went out.", "该行被中断：已发送 %1/%2 字节。",
         "該行被中斷：已傳送 %1/%2 位元組。"},
        {"Keep the log in a file", "将日志保存到文件", "將日誌保存到檔案"},
        {"The log file %1 could not be written: %2", "无法写入日志文件 %1：%2",
         "無法寫入日誌檔案 %1：%2"},
        {"Filter the log", "筛选日志", "篩選日誌"},
        {"%1 of %2 entries", "%2 条中的 %1 条", "%2 筆中的 %1 筆"},
        {"expect %1: met", "expect %1：已满足", "expect %1：已滿足"},
        {"expect %1: missed", "expect %1：未满足", "expect %1：未滿足"},
        {"%1 lines sent, %2 replies, %3 expects met, %4 missed, %5 s",
         "已发送 %1 行，%2 个回复，%3 个 expect 满足，%4 个未满足，用时 %5 秒",
         "已傳送 %1 行，%2 個回覆，%3 個 expect 滿足，%4 個未滿足，用時 %5 秒"},
        {"Reload", "重新载入", "重新載入"},
        {"Run from here", "从此处运行", "從此處執行"},
        {"%1 changed since it was loaded: read again", "%1 在载入后已更改：已重新读取",
         "%1 在載入後已更改：已重新讀取"},
        {"Share on %1", "共享于 %1", "共享於 %1"},
        {"clients: %1", "客户端：%1", "用戶端：%1"},
        {"clients: %1, reachable from the network", "客户端：%1，可从网络连接",
         "用戶端：%1，可從網路連線"},
        {"Cannot share on %1: %2", "无法在 %1 上共享：%2", "無法在 %1 上共享：%2"},
        {"Sharing the instrument on %1", "已在 %1 上共享仪器", "已在 %1 上共享儀器"},
        {"Sharing the instrument on %1, which other machines can reach",
         "已在 %1 上共享仪器，其他计算机也可以连接", "已在 %1 上共享儀器，其他電腦也可以連線"},
        {"connected", "已连接", "已連線"},
        {"disconnected", "已断开", "已斷線"},
        {"closed: it does not read the instrument's replies", "已关闭：它不读取仪器的回复",
         "已關閉：它不讀取儀器的回覆"},
        {"%1 waiting lines dropped", "丢弃了 %1 行等待中的命令", "捨棄了 %1 行等待中的命令"},
        {"turned away: at most %1 clients", "已拒绝：最多 %1 个客户端", "已拒絕：最多 %1 個用戶端"},
        {"a line longer than %1 bytes refused", "拒绝了超过 %1 字节的一行",
         "拒絕了超過 %1 位元組的一行"},
        {"%1: not sent, the port is not open", "%1：未发送，端口未打开", "%1：未傳送，埠未開啟"},
        {"%1: not sent, the address or the rate is no number", "%1：未发送，地址或波特率不是数字",
         "%1：未傳送，位址或鮑率不是數字"},
        {"the link was lost under its line", "发送其命令时连接中断", "傳送其命令時連線中斷"},
        {"%1: given up, the instrument held output back too long",
         "%1：已放弃，仪器暂停输出的时间过长", "%1：已放棄，儀器暫停輸出的時間過長"},
        {"Sharing stopped", "已停止共享", "已停止共享"},
    }};

// Every row is there: each has its Chinese texts (English may be left to
// the system's words).
constexpr bool EveryRowFilled() {
  for (const auto& row : kTexts) {
    if (!row[1] || !row[2]) return false;
  }
  return true;
}
static_assert(EveryRowFilled(), "a text of OwnText has no row in kTexts");

}  // namespace

QString TextIn(OwnText text, Language language) {
  const char* utf8 = kTexts[static_cast<std::size_t>(text)][static_cast<std::size_t>(language)];
  return utf8 ? QString::fromUtf8(utf8) : QString();
}

}  // namespace zrt::window
