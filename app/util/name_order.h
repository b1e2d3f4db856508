// The one order of names the program keeps its lists in (albums, pictures,
// menu entries), so the window and the generated album always agree.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mirofoto {

/// Negative, zero or positive as a sorts before, with or after b: ASCII
/// letters compared without case, everything else by UTF-16 code unit.
/// Names equal under that rule are ordered by their UTF-16 code units, so
/// the order never depends on how a folder listing returned them.
int compareNames(std::string_view a, std::string_view b);

/// True when a sorts before b under compareNames.
inline bool nameLess(std::string_view a, std::string_view b) { return compareNames(a, b) < 0; }

/// Sorts the names in place under compareNames.
void sortNames(std::vector<std::string>& names);

}  // namespace mirofoto
