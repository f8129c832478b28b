#include "window/instrument/limits_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>

#include "settings/numbers.h"
#include "settings/units.h"
#include "window/form/own_texts.h"

namespace zrt::window {
namespace {

using guard::ChannelLimits;

struct Row {
  OwnText name;
  std::optional<double> ChannelLimits::*limit;
  std::uint8_t unitGroup;  // the units its field takes, as the unit keys give them
};
constexpr Row kRows[] = {
    {OwnText::LimitMaxFrequency, &ChannelLimits::maxFrequencyHz, 0},   // MHz kHz Hz mHz
    {OwnText::LimitMaxAmplitude, &ChannelLimits::maxAmplitudeVpp, 1},  // Vpp mVpp
    {OwnText::LimitMinOffset, &ChannelLimits::minOffsetV, 10},         // Vdc mVdc
    {OwnText::LimitMaxOffset, &ChannelLimits::maxOffsetV, 10},
};

}  // namespace

LimitsDialog::LimitsDialog(const guard::Limits& limits, Language language, QWidget* parent)
    : QDialog(parent), problem_(new QLabel(this)), language_(language) {
  setObjectName("LimitsDialog");
  setWindowTitle(TextIn(OwnText::ViewLimits, language));
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(TextIn(OwnText::ViewChannelA, language), this), 0, 1);
  grid->addWidget(new QLabel(TextIn(OwnText::ViewChannelB, language), this), 0, 2);
  int row = 1;
  for (const auto& [name, limit, group] : kRows) {
    grid->addWidget(new QLabel(TextIn(name, language), this), row, 0);
    int column = 1;
    for (auto channel : {&guard::Limits::a, &guard::Limits::b}) {
      auto* edit = new QLineEdit(this);
      edit->setObjectName(QString("Limit%1%2").arg(row).arg(column == 1 ? 'A' : 'B'));
      if (const auto& value = (limits.*channel).*limit) {
        edit->setText(QString::fromStdString(settings::WriteNumber(*value).value_or("")));
      }
      grid->addWidget(edit, row, column++);
      fields_.push_back({edit, channel, limit, group});
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

std::variant<guard::Limits, QString> LimitsDialog::Entered() const {
  guard::Limits limits;
  for (const Field& field : fields_) {
    const QString text = field.edit->text().trimmed();
    if (text.isEmpty()) continue;
    // As a value field reads it ("10M", "10MHz", "500 mVpp", "-1.5"), with
    // the C point or the operator's own; else as the operator's locale
    // writes numbers ("1,000").
    QString point = text;
    point.replace(QLocale().decimalPoint(), ".");
    auto value = settings::ReadQuantity(point.toStdString(), field.unitGroup);
    if (!value) {
      bool ok = false;
      value = QLocale().toDouble(text, &ok);
      if (!ok || !std::isfinite(*value)) return text;
    }
    (limits.*field.channel).*field.limit = *value;
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
