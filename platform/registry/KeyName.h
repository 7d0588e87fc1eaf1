// Key and value names: compared without regard to case, kept as written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plat::registry {

// The form two names are compared in: upper case for ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic letters; other characters as they are.
std::u16string FoldName(std::u16string_view name);

// The components of a key path ("A\B\C"); empty components (doubled,
// leading or trailing separators) are skipped.
std::vector<std::u16string> SplitKeyPath(std::u16string_view path);

} // namespace plat::registry
