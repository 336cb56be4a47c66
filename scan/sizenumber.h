#pragma once

// The number the size test reads from its size text.

#include <string_view>

// Reads the size text of the size test as a decimal floating-point number:
// leading blanks, an optional sign, digits with an optional decimal point, an
// optional exponent. Whatever follows the number is ignored ("12kb" reads 12),
// and text that does not begin with a number reads as 0. Independent of the
// process's locale. A number too large for a double reads as infinity.
// hasNumber, when given, is set to whether the text begins with a number.
double parseSizeNumber(std::string_view text, bool* hasNumber = nullptr);

// What the size test makes of its size text, by the rule stored settings
// files rely on: the text is read by parseSizeNumber, and 0 (zero, or text
// that does not begin with a number) and numbers above 2147483647 are no
// size. A negative number is a size.
enum class SizeReading { Size, Empty, NotANumber, Zero, TooLarge };
inline constexpr double kLargestSize = 2147483647.0;
struct SizeCheck {
    SizeReading reading;
    double value;  // the number read
};
SizeCheck checkSizeText(std::string_view text);
