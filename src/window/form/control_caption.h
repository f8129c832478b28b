// One way to read and write the caption of any captioned control: a button's
// or label's text, a group box's title, a page's tab text.
#pragma once

#include <QString>

class QWidget;

namespace zrt::window {

void SetCaption(QWidget* control, const QString& caption);
QString Caption(const QWidget* control);

}  // namespace zrt::window
