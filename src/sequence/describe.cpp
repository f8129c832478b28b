// What a sequence file's fault is, said in the three languages of the
// window.
#include <array>

#include "sequence/runner.h"
#include "sequence/sequence.h"

namespace zrt::sequence {
namespace {

// One row per Problem, in its order; %1 the detail, %2 a line or a limit.
constexpr std::array<std::array<const char*, 3>, static_cast<std::size_t>(Problem::Count_)>
    kExpected = {{
        {"expected a duration such as 500ms or 2s", "应为时长，例如 500ms 或 2s",
         "應為時長，例如 500ms 或 2s"},
        {"expected a whole number of times, at most %2", "应为次数（整数，最多 %2）",
         "應為次數（整數，最多 %2）"},
        {"expected the text or /pattern/ to wait for", "应为要等待的文字或 /模式/",
         "應為要等待的文字或 /模式/"},
        {"the pattern does not compile: %1", "模式无法编译：%1", "模式無法編譯：%1"},
        {"expected a name (letters, digits and _, not starting with a digit)",
         "应为名称（字母、数字和 _，不以数字开头）", "應為名稱（字母、數字和 _，不以數字開頭）"},
        {"expected a value after the name", "名称后应有值", "名稱後應有值"},
        {"expected 'in' and the values to step through", "应为 'in' 和要逐个使用的值",
         "應為 'in' 和要逐一使用的值"},
        {"expected at least one value after 'in'", "'in' 后应至少有一个值",
         "'in' 後應至少有一個值"},
        {"'end' without a 'repeat' or 'for' to close", "'end' 没有对应的 'repeat' 或 'for'",
         "'end' 沒有對應的 'repeat' 或 'for'"},
        {"expected 'end' to close the '%1' of line %2", "应有 'end' 结束第 %2 行的 '%1'",
         "應有 'end' 結束第 %2 行的 '%1'"},
        {"blocks nest deeper than %2", "块嵌套超过 %2 层", "區塊巢狀超過 %2 層"},
        {"'${%1}' is used before 'set %1'", "'${%1}' 在 'set %1' 之前使用",
         "'${%1}' 在 'set %1' 之前使用"},
        {"expected '}' to close '${'", "应有 '}' 结束 '${'", "應有 '}' 結束 '${'"},
        {"the sequence comes to more than %2 steps", "序列展开后超过 %2 步",
         "序列展開後超過 %2 步"},
        {"expected nothing after 'end'", "'end' 后不应有内容", "'end' 後不應有內容"},
        {"expected UTF-8 text", "应为 UTF-8 文本", "應為 UTF-8 文字"},
        {"expected a line of at most %2 characters", "一行最多 %2 个字符", "一行最多 %2 個字元"},
        {"the sequence comes to more than %2 characters", "序列展开后超过 %2 个字符",
         "序列展開後超過 %2 個字元"},
        {"the file is larger than %2 bytes", "文件大于 %2 字节", "檔案大於 %2 位元組"},
        {"did you mean '%1'? (write 'send' in front of a line meant as it is)",
         "您是想写 '%1' 吗？（按原样发送的行请在前面写 'send'）",
         "您是想寫 '%1' 嗎？（按原樣傳送的行請在前面寫 'send'）"},
        {"%1 has no byte the instrument takes", "%1 没有仪器能接收的字节",
         "%1 沒有儀器能接收的位元組"},
        {"expected the line to send after 'send'", "'send' 后应有要发送的行",
         "'send' 後應有要傳送的行"},
        {"expected a line before 'expect', whose reply it waits for",
         "'expect' 前应有一行命令，它等待该行的回复", "'expect' 前應有一行命令，它等待該行的回覆"},
    }};

int LimitOf(const ParseError& error) {
  switch (error.problem) {
    case Problem::Count:
      return kMaxRepeat;
    case Problem::MissingEnd:
      return error.blockLine;
    case Problem::TooDeep:
      return kMaxDepth;
    case Problem::TooManySteps:
      return kMaxSteps;
    case Problem::TooLong:
      return kLongestLine;
    case Problem::FileTooLarge:
      return static_cast<int>(kMaxFileBytes);
    default:
      return 0;
  }
}

// One row per Runner::Outcome; %1 the line's place, %2 what was expected,
// %3 the seconds waited, %4 what came, %5 the limit a line would break.
constexpr std::array<std::array<const char*, 3>, 7> kOutcomes = {{
    {"the sequence ran to its end", "序列已运行完毕", "序列已執行完畢"},
    {"%1: stopped", "%1：已停止", "%1：已停止"},
    {"%1: no reply with %2 came within %3 s; received: \"%4\"",
     "%1：%3 秒内没有收到含 %2 的回复；已收到：\"%4\"",
     "%1：%3 秒內沒有收到含 %2 的回覆；已收到：\"%4\""},
    {"%1: the line was not sent", "%1：该行未能发送", "%1：該行未能傳送"},
    {"%1: the link went away", "%1：连接已断开", "%1：連線已中斷"},
    {"%1: the reply had no %2; received: \"%4\"", "%1：回复中没有 %2；已收到：\"%4\"",
     "%1：回覆中沒有 %2；已收到：\"%4\""},
    {"%1: not sent: %5", "%1：未发送：%5", "%1：未傳送：%5"},
}};

int LanguageIndex(int language) { return language < 0 || language > 2 ? 0 : language; }

// The text with each %1..%9 replaced by its argument in one pass, so that
// a file name or a detail with a % in it is shown as it is.
QString Filled(const QString& text, const QStringList& args) {
  QString out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'%' && i + 1 < text.size() && text[i + 1] >= u'1' && text[i + 1] <= u'9') {
      const qsizetype arg = text[i + 1].unicode() - u'1';
      if (arg < args.size()) out += args[arg];
      ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

}  // namespace

QString Escaped(QByteArrayView bytes, EscapeStyle style) {
  const bool all = style == EscapeStyle::Everything;
  QString out;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
      case '\\':
        out += all ? "\\\\" : "\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if ((byte >= 0x20 && byte < 0x7F) || (!all && byte >= 0xA0)) {
          out += QChar(byte);
        } else {
          out += "\\x" + QString::number(byte, 16).toUpper().rightJustified(2, '0');
        }
    }
  }
  return out;
}

QString Explain(Runner::Outcome outcome, const QString& file, const Step& step,
                QByteArrayView reply, int language,
                const std::optional<guard::LimitBreach>& breach) {
  QString what = QString::fromUtf8(kOutcomes[static_cast<std::size_t>(outcome)]
                                            [static_cast<std::size_t>(LanguageIndex(language))]);
  const QString where = file + ":" + QString::number(step.line);
  return Filled(what,
                {where, step.pattern ? "/" + step.text + "/" : "\"" + step.text + "\"",
                 QString::number(step.duration.count() / 1000.0), Escaped(reply),
                 breach ? QString::fromStdString(guard::Describe(*breach, language)) : QString()});
}

QString Describe(const ParseError& error, int language) {
  const auto& row = kExpected[static_cast<std::size_t>(error.problem)];
  const QString what =
      Filled(QString::fromUtf8(row[static_cast<std::size_t>(LanguageIndex(language))]),
             {error.detail, QString::number(LimitOf(error))});
  return error.file + ":" + QString::number(error.line) + ":" + QString::number(error.column) +
         ": " + what;
}

}  // namespace zrt::sequence
