// The values of options, read with what is wrong with them in words: each
// reader gives an empty string or the problem ("30 is not one of 100, 150,
// 200, 300, 400, 500, 600"), which the command line shows after the option.
#pragma once

#include <string>
#include <vector>

namespace cli {

// A whole decimal number from `low` to `high`.
std::string NumberFrom(const std::string& text, long low, long high, long* number);

// One of `values`, written in decimal.
std::string NumberOneOf(const std::string& text, const std::vector<long>& values, long* number);

// One of `names`; *index is its place among them.
std::string NameOneOf(const std::string& text, const std::vector<std::string>& names, size_t* index);

// "a, b, c", or for more than `shown` "a, b, ..., z".
std::string ListInWords(const std::vector<std::string>& items, size_t shown = 8);

} // namespace cli
