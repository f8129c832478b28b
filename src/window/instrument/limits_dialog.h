// The operator's limits per channel: highest frequency and amplitude,
// lowest and highest offset (with half the amplitude); an empty field is
// no limit. A field takes a number in Hz, Vpp or V, or one with a unit of
// its own ("10MHz", "500mVpp"). Offered with the limits as they stand; a
// field that is neither is said and the dialog stays.
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
