// The texts this program adds to the instrument's own (notes, notices and
// hints), in the three languages of the caption tables. The instrument's
// own texts ("请打开串口!", "发送:", the captions) are not here: they stay
// as they are in every language.
#pragma once

#include <QString>

#include "window/caption_table.h"

namespace zrt::window {

enum class OwnText {
  PortLost,     // %1: the port's name
  SentAsTyped,  // after the echo of a line that did not begin with the address
  Count,
};

QString TextIn(OwnText text, Language language);

}  // namespace zrt::window
