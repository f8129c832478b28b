// What SCPI says for each of the instrument's items: the reverse of the
// tables that turn SCPI into lines, for the manual's line reference.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zrt::scpi {

// The SCPI commands whose lines are of `function`'s item `item` ("CHA",
// "AFREQ"): "SOURce1:FREQuency", "SOURce1:FUNCtion SQUare", "*TRG"...;
// none where SCPI has no word for it.
std::vector<std::string> Counterparts(std::string_view function, std::string_view item);

}  // namespace zrt::scpi
