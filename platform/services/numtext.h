// Conversions between numbers and text. None of them consults the C locale (a
// windowing toolkit sets LC_NUMERIC from the user's environment).
//
// DecimalText, FixedDecimalText and ParseDecimal always use '.': they are the one
// conversion for every number the storage engine stores, compares or indexes, so
// files and keys never change with the user's settings. FloatToStr and StrToFloat
// are the display forms: they use the process-wide separator ('.' until the program
// sets it) and are built on the same conversion.
#ifndef PLATFORM_SERVICES_NUMTEXT_H_
#define PLATFORM_SERVICES_NUMTEXT_H_

#include <string>
#include <string_view>

namespace platform {

// Strict decimal text: optional sign, digits with an optional '.' fraction (at least
// one digit in all), optional exponent (e or E, optional sign, digits); nothing else,
// no blanks. Underflow reads as 0; overflow, "inf" and "nan" are refused. Leaves value
// alone when the text is refused.
bool ParseDecimal(std::string_view text, double& value);
// Shortest general form with up to 15 significant digits and '.' ("1.5", "1E-5").
std::string DecimalText(double value);
// Fixed-point text with the given decimals (0 when negative), as printf's "%.*f" in the
// C locale: "-2.50", "3"; "NAN", "INF", "-INF" for values that are no number.
std::string FixedDecimalText(double value, int decimals);

char DecimalSeparator();
void SetDecimalSeparator(char separator);

// Shortest general form with up to 15 significant digits ("1.5", "100", "1E-5").
std::string FloatToStr(double value);
// Leading and trailing blanks allowed; raises EConvertError "'%s' is not a valid
// floating point value" for anything else.
double StrToFloat(const std::string& text);
bool TryStrToFloat(const std::string& text, double& value);

}  // namespace platform

#endif  // PLATFORM_SERVICES_NUMTEXT_H_
