// Small helpers over POSIX file descriptors shared by the platform modules.
#pragma once

#include <string_view>

namespace plat {

// Writes all of the text, resuming after short writes and interrupted
// calls; false when the descriptor refuses more.
bool WriteAll(int fd, std::string_view text);

} // namespace plat
