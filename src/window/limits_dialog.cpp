#include "window/limits_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

#include "window/own_texts.h"

namespace zrt::window {
namespace {

using settings::ChannelLimits;

constexpr std::pair<OwnText, std::optional<double> ChannelLimits::*> kRows[] = {
    {OwnText::LimitMaxFrequency, &ChannelLimits::maxFrequencyHz},
    {OwnText::LimitMaxAmplitude, &ChannelLimits::maxAmplitudeVpp},
    {OwnText::LimitMinOffset, &ChannelLimits::minOffsetV},
    {OwnText::LimitMaxOffset, &ChannelLimits::maxOffsetV},
};

}  // namespace

LimitsDialog::LimitsDialog(const settings::Limits& limits, Language language, QWidget* parent)
    : QDialog(parent), problem_(new QLabel(this)), language_(language) {
  setObjectName("LimitsDialog");
  setWindowTitle(TextIn(OwnText::ViewLimits, language));
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(TextIn(OwnText::ViewChannelA, language), this), 0, 1);
  grid->addWidget(new QLabel(TextIn(OwnText::ViewChannelB, language), this), 0, 2);
  int row = 1;
  for (const auto& [name, limit] : kRows) {
    grid->addWidget(new QLabel(TextIn(name, language), this), row, 0);
    int column = 1;
    for (auto channel : {&settings::Limits::a, &settings::Limits::b}) {
      auto* edit = new QLineEdit(this);
      edit->setObjectName(QString("Limit%1%2").arg(row).arg(column == 1 ? 'A' : 'B'));
      if (const auto& value = (limits.*channel).*limit)
        edit->setText(QString::number(*value, 'g', 12));
      grid->addWidget(edit, row, column++);
      fields_.push_back({edit, channel, limit});
    }
    ++row;
  }
  grid->addWidget(new QLabel(TextIn(OwnText::LimitEmptyIsNone, language), this), row++, 0, 1, 3);
  grid->addWidget(problem_, row++, 0, 1, 3);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  grid->addWidget(buttons, row, 0, 1, 3);
  connect(buttons, &QDialogButtonBox::accepted, this, &LimitsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &LimitsDialog::reject);
}

std::variant<settings::Limits, QString> LimitsDialog::Entered() const {
  settings::Limits limits;
  for (const Field& field : fields_) {
    const QString text = field.edit->text().trimmed();
    if (text.isEmpty()) continue;
    bool ok = false;
    // Either the C point or the operator's own.
    double value = text.toDouble(&ok);
    if (!ok) value = QLocale().toDouble(text, &ok);
    if (!ok || !std::isfinite(value)) return text;
    (limits.*field.channel).*field.limit = value;
  }
  return limits;
}

void LimitsDialog::accept() {
  const auto entered = Entered();
  if (const auto* bad = std::get_if<QString>(&entered)) {
    return problem_->setText(TextIn(OwnText::LimitNotANumber, language_).arg(*bad));
  }
  QDialog::accept();
}

}  // namespace zrt::window
