#include "sequence/sequence.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>
#include <cmath>
#include <map>
#include <optional>

#include "protocol/send_steps.h"

namespace zrt::sequence {
namespace {

// A statement as written, before names are filled in.
struct Node {
  enum class Kind { Command, Wait, Expect, Timeout, Repeat, For, Set };
  Kind kind = Kind::Command;
  int line = 0;
  int column = 0;  // where the argument starts
  QString name;    // For, Set
  QString argument;
  std::vector<Node> body;  // Repeat, For
};

struct Keyword {
  const char* word;
  std::optional<Node::Kind> kind;  // none: "end"
};
constexpr Keyword kKeywords[] = {
    {"wait", Node::Kind::Wait},
    {"expect", Node::Kind::Expect},
    {"timeout", Node::Kind::Timeout},
    {"repeat", Node::Kind::Repeat},
    {"for", Node::Kind::For},
    {"set", Node::Kind::Set},
    {"end", std::nullopt},
    {"send", Node::Kind::Command},  // a command line that begins with a keyword
};

// Blanks as QString::trimmed() takes them: Unicode's, not only ASCII's.
QRegularExpression BlankPattern(const char* pattern) {
  return QRegularExpression(QString::fromLatin1(pattern),
                            QRegularExpression::UseUnicodePropertiesOption);
}
const QRegularExpression& Blank() {
  static const QRegularExpression blank = BlankPattern(R"(\s)");
  return blank;
}
const QRegularExpression& NonBlank() {
  static const QRegularExpression nonBlank = BlankPattern(R"(\S)");
  return nonBlank;
}
const QRegularExpression& Blanks() {
  static const QRegularExpression blanks = BlankPattern(R"(\s+)");
  return blanks;
}

// The line without a comment: a "#" at its start or after a blank begins
// one; "\#" stands for a "#".
QString WithoutComment(const QString& raw) {
  QString out;
  out.reserve(raw.size());
  for (qsizetype i = 0; i < raw.size(); ++i) {
    if (raw[i] == u'\\' && i + 1 < raw.size() && raw[i + 1] == u'#') {
      out += u'#';
      ++i;
    } else if (raw[i] == u'#' && (i == 0 || raw[i - 1].isSpace())) {
      break;
    } else {
      out += raw[i];
    }
  }
  return out;
}

// Edits (characters put in, taken out or changed) from one word to the other.
qsizetype EditsBetween(QStringView a, QStringView b) {
  std::vector<qsizetype> row(static_cast<std::size_t>(b.size()) + 1);
  for (qsizetype j = 0; j <= b.size(); ++j) row[static_cast<std::size_t>(j)] = j;
  for (qsizetype i = 1; i <= a.size(); ++i) {
    qsizetype diagonal = row[0];
    row[0] = i;
    for (qsizetype j = 1; j <= b.size(); ++j) {
      const auto k = static_cast<std::size_t>(j);
      const qsizetype above = row[k];
      row[k] = std::min({row[k] + 1, row[k - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row.back();
}

// The keyword a lower-case word that is none is a slip for, if any: the
// instrument's commands are upper case, and a typo must not reach it.
const char* KeywordCloseTo(const QString& word) {
  static const QRegularExpression kLower("^[a-z]+$");
  if (!kLower.match(word).hasMatch()) return nullptr;
  for (const Keyword& keyword : kKeywords) {
    if (EditsBetween(word, QString::fromLatin1(keyword.word)) <= 2) return keyword.word;
  }
  return nullptr;
}

ParseError ErrorAt(const QString& file, int line, int column, Problem problem,
                   QString detail = {}) {
  return {file, line, column, problem, std::move(detail)};
}

bool IsName(const QString& name) {
  static const QRegularExpression kName("^[A-Za-z_][A-Za-z0-9_]*$");
  return kName.match(name).hasMatch();
}

std::optional<int> CountOf(const QString& text) {
  static const QRegularExpression kCount(R"(^\d{1,7}$)");
  if (!kCount.match(text).hasMatch()) return std::nullopt;
  const int count = text.toInt();
  if (count > kMaxRepeat) return std::nullopt;
  return count;
}

// Reads the lines into statements, blocks nested; checks what does not
// depend on a name's value.
class Reader {
 public:
  explicit Reader(const QString& file) : file_(file) {}

  std::variant<std::vector<Node>, ParseError> Read(const QString& text) {
    struct Open {
      Node node;
      QString keyword;
    };
    std::vector<Open> open;  // the blocks not yet ended, outermost first
    std::vector<Node> top;
    auto body = [&]() -> std::vector<Node>& { return open.empty() ? top : open.back().node.body; };
    // Line by line, without a copy of the whole text split up, and no
    // further than a file of too many statements needs.
    int line = 0;
    int statements = 0;
    bool lineBefore = false;  // a command line has come, whose reply an expect may wait for
    for (qsizetype from = 0; from <= text.size();) {
      qsizetype end = text.indexOf('\n', from);
      if (end < 0) end = text.size();
      QString raw = text.mid(from, end - from);
      from = end + 1;
      if (raw.endsWith('\r')) raw.chop(1);
      raw = WithoutComment(raw);
      ++line;
      const QString trimmed = raw.trimmed();
      if (trimmed.isEmpty()) continue;  // blank, or a comment
      if (++statements > kMaxSteps) return ErrorAt(file_, line, 1, Problem::TooManySteps);
      const qsizetype start = raw.indexOf(NonBlank());
      const qsizetype space = trimmed.indexOf(Blank());
      const QString word = space < 0 ? trimmed : trimmed.left(space);
      const QString rest = space < 0 ? QString() : trimmed.mid(space).trimmed();
      const int restColumn = static_cast<int>(space < 0 ? start + trimmed.size() + 1
                                                        : raw.indexOf(rest, start + space) + 1);
      // In any case: no mnemonic of the instrument's is a keyword.
      const Keyword* keyword = nullptr;
      for (const Keyword& k : kKeywords) {
        if (word.compare(QLatin1String(k.word), Qt::CaseInsensitive) == 0) keyword = &k;
      }
      if (keyword && keyword->kind == Node::Kind::Command) {
        if (rest.isEmpty()) return ErrorAt(file_, line, restColumn, Problem::SendWhat);
        body().push_back({Node::Kind::Command, line, restColumn, {}, rest, {}});
        lineBefore = true;
        continue;
      }
      if (!keyword) {
        if (const char* meant = KeywordCloseTo(word)) {
          return ErrorAt(file_, line, static_cast<int>(start) + 1, Problem::Typo,
                         QString::fromLatin1(meant));
        }
        body().push_back({Node::Kind::Command, line, static_cast<int>(start) + 1, {}, trimmed, {}});
        lineBefore = true;
        continue;
      }
      if (!keyword->kind) {  // end
        if (!rest.isEmpty()) return ErrorAt(file_, line, restColumn, Problem::NothingAfterEnd);
        if (open.empty()) {
          return ErrorAt(file_, line, static_cast<int>(start) + 1, Problem::EndWithoutBlock);
        }
        Node done = std::move(open.back().node);
        open.pop_back();
        body().push_back(std::move(done));
        continue;
      }
      Node node{*keyword->kind, line, restColumn, {}, rest, {}};
      if (auto error = Check(node)) return *error;
      if (node.kind == Node::Kind::Expect && !lineBefore) {
        return ErrorAt(file_, line, static_cast<int>(start) + 1, Problem::ExpectFirst);
      }
      if (node.kind == Node::Kind::Repeat || node.kind == Node::Kind::For) {
        if (static_cast<int>(open.size()) == kMaxDepth) {
          return ErrorAt(file_, line, static_cast<int>(start) + 1, Problem::TooDeep);
        }
        open.push_back({std::move(node), word});
      } else {
        body().push_back(std::move(node));
      }
    }
    if (!open.empty()) {
      ParseError error = ErrorAt(file_, line + (text.endsWith('\n') || text.isEmpty() ? 0 : 1), 1,
                                 Problem::MissingEnd, open.back().keyword);
      error.blockLine = open.back().node.line;
      return error;
    }
    return top;
  }

 private:
  // Splits "NAME ..." and "NAME in ..." and checks what can be checked now.
  std::optional<ParseError> Check(Node& node) const {
    const QString& argument = node.argument;
    auto literal = [&] { return !argument.contains("${"); };
    switch (node.kind) {
      case Node::Kind::Wait:
      case Node::Kind::Timeout:
        if (argument.isEmpty() || (literal() && !DurationOf(argument))) {
          return ErrorAt(file_, node.line, node.column, Problem::Duration);
        }
        return std::nullopt;
      case Node::Kind::Repeat:
        if (argument.isEmpty() || (literal() && !CountOf(argument))) {
          return ErrorAt(file_, node.line, node.column, Problem::Count);
        }
        return std::nullopt;
      case Node::Kind::Expect:
        if (argument.isEmpty()) return ErrorAt(file_, node.line, node.column, Problem::ExpectText);
        return std::nullopt;
      case Node::Kind::Set:
      case Node::Kind::For: {
        const qsizetype space = argument.indexOf(Blank());
        node.name = space < 0 ? argument : argument.left(space);
        const QString rest = space < 0 ? QString() : argument.mid(space).trimmed();
        if (!IsName(node.name)) return ErrorAt(file_, node.line, node.column, Problem::Name);
        const int restColumn =
            node.column +
            static_cast<int>(space < 0 ? argument.size() : argument.indexOf(rest, space));
        if (node.kind == Node::Kind::Set) {
          if (rest.isEmpty()) return ErrorAt(file_, node.line, restColumn, Problem::Value);
          node.argument = rest;
          node.column = restColumn;
          return std::nullopt;
        }
        const qsizetype blank = rest.indexOf(Blank());
        const qsizetype inEnd = blank < 0 ? rest.size() : blank;
        if (rest.left(inEnd) != "in") return ErrorAt(file_, node.line, restColumn, Problem::In);
        const QString values = rest.mid(inEnd).trimmed();
        const int valuesColumn =
            restColumn +
            static_cast<int>(values.isEmpty() ? rest.size() : rest.indexOf(values, inEnd));
        if (values.isEmpty()) return ErrorAt(file_, node.line, valuesColumn, Problem::Values);
        node.argument = values;
        node.column = valuesColumn;
        return std::nullopt;
      }
      case Node::Kind::Command:
        return std::nullopt;
    }
    return std::nullopt;
  }

  const QString& file_;
};

// Writes the statements out in the order a run takes them.
class Expander {
 public:
  Expander(const QString& file, std::chrono::milliseconds timeout)
      : file_(file), timeout_(timeout) {}

  std::optional<ParseError> Expand(const std::vector<Node>& nodes) {
    for (const Node& node : nodes) {
      if (++work_ > kMaxSteps) return ErrorAt(file_, node.line, 1, Problem::TooManySteps);
      auto filled = Fill(node);
      if (auto* error = std::get_if<ParseError>(&filled)) return *error;
      const QString& argument = std::get<QString>(filled);
      // Every statement written out counts, so that neither the steps nor
      // the work of writing them out grows without bound.
      characters_ += argument.size();
      if (characters_ > kMaxCharacters) return ErrorAt(file_, node.line, 1, Problem::TooBig);
      if (auto error = Take(node, argument)) return error;
    }
    return std::nullopt;
  }

  std::vector<Step> steps;

 private:
  std::optional<ParseError> Take(const Node& node, const QString& argument) {
    auto fail = [&](Problem problem, int column, QString detail = {}) {
      return ErrorAt(file_, node.line, column, problem, std::move(detail));
    };
    switch (node.kind) {
      case Node::Kind::Command:
        if (const auto missing = protocol::FirstWithoutByte(argument)) {
          // Where it stands in the file, unless a value put it there.
          const int column =
              argument == node.argument ? node.column + missing->position - 1 : node.column;
          return fail(Problem::NoByte, column, protocol::Describe(*missing));
        }
        steps.push_back({Step::Kind::Send, argument, false, timeout_, node.line});
        break;
      case Node::Kind::Wait:
      case Node::Kind::Timeout: {
        const auto duration = DurationOf(argument);
        if (!duration) return fail(Problem::Duration, node.column);
        if (node.kind == Node::Kind::Timeout) {
          timeout_ = *duration;
        } else {
          steps.push_back({Step::Kind::Wait, {}, false, *duration, node.line});
        }
        break;
      }
      case Node::Kind::Expect: {
        const bool pattern =
            argument.size() >= 2 && argument.startsWith('/') && argument.endsWith('/');
        const QString text = pattern ? argument.mid(1, argument.size() - 2) : argument;
        if (pattern) {
          const QRegularExpression compiled(text);
          if (!compiled.isValid()) {
            return fail(Problem::Pattern, node.column + 1 + compiled.patternErrorOffset(),
                        compiled.errorString());
          }
        }
        steps.push_back({Step::Kind::Expect, text, pattern, timeout_, node.line});
        break;
      }
      case Node::Kind::Set:
        values_[node.name] = argument;
        break;
      case Node::Kind::Repeat: {
        const auto count = CountOf(argument);
        if (!count) return fail(Problem::Count, node.column);
        // A body that never runs is checked all the same, as if it ran once.
        const int times = checkOnly_ ? std::min(*count, 1) : *count;
        if (times == 0) {
          Expander check(file_, timeout_);
          check.checkOnly_ = true;
          check.values_ = values_;
          if (auto error = check.Expand(node.body)) return error;
        }
        for (int i = 0; i < times; ++i) {
          if (++work_ > kMaxSteps) return fail(Problem::TooManySteps, 1);
          if (auto error = Expand(node.body)) return error;
        }
        break;
      }
      case Node::Kind::For: {
        const QStringList values = argument.split(Blanks(), Qt::SkipEmptyParts);
        if (values.isEmpty()) return fail(Problem::Values, node.column);
        for (const QString& value : values) {
          values_[node.name] = value;
          if (auto error = Expand(node.body)) return error;
        }
        break;
      }
    }
    if (static_cast<int>(steps.size()) > kMaxSteps) return fail(Problem::TooManySteps, 1);

    return std::nullopt;
  }

  // The statement's argument with every ${NAME} replaced by its value.
  std::variant<QString, ParseError> Fill(const Node& node) const {
    const QString& text = node.argument;
    QString filled;
    qsizetype from = 0;
    for (qsizetype at = text.indexOf("${"); at >= 0; at = text.indexOf("${", from)) {
      const int column = node.column + static_cast<int>(at);
      const qsizetype close = text.indexOf('}', at + 2);
      if (close < 0) return ErrorAt(file_, node.line, column, Problem::Brace);
      const QString name = text.mid(at + 2, close - at - 2);
      const auto value = values_.find(name);
      if (!IsName(name)) return ErrorAt(file_, node.line, column + 2, Problem::Name);
      if (value == values_.end()) return ErrorAt(file_, node.line, column, Problem::Unset, name);
      filled += QStringView(text).mid(from, at - from);
      filled += value->second;
      from = close + 1;
      if (filled.size() > kLongestLine) break;
    }
    filled += QStringView(text).mid(from);
    if (filled.size() > kLongestLine) {
      return ErrorAt(file_, node.line, node.column, Problem::TooLong);
    }
    return filled;
  }

  const QString& file_;
  std::map<QString, QString> values_;
  std::chrono::milliseconds timeout_;
  int work_ = 0;
  qsizetype characters_ = 0;
  bool checkOnly_ = false;  // a body that never runs: each repeat taken once
};

}  // namespace

std::optional<std::chrono::milliseconds> DurationOf(const QString& text) {
  static const QRegularExpression kDuration(R"(^(\d{1,9}(?:\.\d{1,3})?)\s*(ms|s)$)");
  const QRegularExpressionMatch match = kDuration.match(text);
  if (!match.hasMatch()) return std::nullopt;
  const double value = match.captured(1).toDouble() * (match.captured(2) == "s" ? 1000.0 : 1.0);
  const std::chrono::milliseconds duration(std::llround(value));
  if (duration > kLongestDuration) return std::nullopt;
  return duration;
}

Parsed Parse(const QString& text, const QString& file, std::chrono::milliseconds timeout) {
  auto read = Reader(file).Read(text);
  if (auto* error = std::get_if<ParseError>(&read)) return *error;
  Expander expander(file, timeout);
  if (auto error = expander.Expand(std::get<std::vector<Node>>(read))) return *error;
  return std::move(expander.steps);
}

Parsed ParseBytes(const QByteArray& bytes, const QString& file, std::chrono::milliseconds timeout) {
  QStringDecoder decoder(QStringDecoder::Utf8);
  const QString text = decoder.decode(bytes);
  if (decoder.hasError()) {
    const qsizetype bad = text.indexOf(QChar::ReplacementCharacter);
    const QString before = text.left(std::max<qsizetype>(bad, 0));
    return ErrorAt(file, static_cast<int>(before.count('\n')) + 1,
                   static_cast<int>(before.size() - before.lastIndexOf('\n')), Problem::NotText);
  }
  return Parse(text, file, timeout);
}

Parsed ParseDevice(QIODevice& device, const QString& file, std::chrono::milliseconds timeout) {
  if (!device.isSequential() && device.size() > kMaxFileBytes) {
    return ErrorAt(file, 1, 1, Problem::FileTooLarge);
  }
  QByteArray bytes;
  while (bytes.size() <= kMaxFileBytes) {
    const QByteArray more = device.read(kMaxFileBytes + 1 - bytes.size());
    if (more.isEmpty() && !device.waitForReadyRead(-1)) break;
    bytes += more;
  }
  if (bytes.size() > kMaxFileBytes) return ErrorAt(file, 1, 1, Problem::FileTooLarge);
  return ParseBytes(bytes, file, timeout);
}

}  // namespace zrt::sequence
