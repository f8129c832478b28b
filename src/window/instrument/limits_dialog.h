// The operator's limits per channel: highest frequency and amplitude,
// lowest and highest offset (with half the amplitude); an empty field is
// no limit. A field reads a value as every value field does: a number in
// Hz, Vpp or V, with a unit of its own or an SI prefix alone ("10MHz",
// "10M", "500m"), the point either way, or as the operator's locale writes
// numbers. Offered with the limits as they stand; a field that is none of
// these is said and the dialog stays.
#pragma once

#include <QDialog>
#include <cstdint>

#include "guard/limits.h"
#include "window/form/caption_table.h"

class QLabel;
class QLineEdit;

namespace zrt::window {

class LimitsDialog : public QDialog {
  Q_OBJECT

 public:
  LimitsDialog(const guard::Limits& limits, Language language, QWidget* parent = nullptr);

  // The limits the fields give, or the first text that is no number.
  std::variant<guard::Limits, QString> Entered() const;

  void accept() override;

 private:
  // Each field: its channel's limit.
  struct Field {
    QLineEdit* edit;
    guard::ChannelLimits guard::Limits::*channel;
    std::optional<double> guard::ChannelLimits::*limit;
    std::uint8_t unitGroup;
  };
  std::vector<Field> fields_;
  QLabel* problem_;
  Language language_;
};

}  // namespace zrt::window
