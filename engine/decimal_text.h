// Reading a setting text as a decimal integer, the way the settings have always been read.
#pragma once

#include <string_view>

// C atoi syntax: leading blanks, an optional sign, then digits up to the first other character;
// 0 when there are no digits. Unlike atoi, a value beyond the int range saturates at INT_MAX or
// INT_MIN instead of wrapping, so "4294967297" can never pass a range check as 1.
int AtoiSaturating(std::string_view text);
