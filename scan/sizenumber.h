#pragma once

// The number the size test reads from its size text.

#include <string_view>

// Reads the size text of the size test as a decimal floating-point number:
// leading blanks, an optional sign, digits with an optional decimal point, an
// optional exponent. Whatever follows the number is ignored ("12kb" reads 12),
// and text that does not begin with a number reads as 0. Independent of the
// process's locale. A number too large for a double reads as infinity.
double parseSizeNumber(std::string_view text);
