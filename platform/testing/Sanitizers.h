// What a test needs to know about the sanitizers it runs under.
#pragma once

namespace plat::testing {

// Under AddressSanitizer freed memory stays in its quarantine, so peak
// memory says nothing about what a program holds.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
inline constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
inline constexpr bool kAddressSanitizer = false;
#endif

} // namespace plat::testing
