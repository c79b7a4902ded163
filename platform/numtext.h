// Locale-aware conversions between numbers and text. The decimal separator is a
// process-wide setting ('.' until the program sets it from the locale).
#ifndef PLATFORM_NUMTEXT_H_
#define PLATFORM_NUMTEXT_H_

#include <string>

namespace platform {

char DecimalSeparator();
void SetDecimalSeparator(char separator);

// Shortest general form with up to 15 significant digits ("1.5", "100", "1E-5").
std::string FloatToStr(double value);
// Leading and trailing blanks allowed; raises EConvertError "'%s' is not a valid
// floating point value" for anything else.
double StrToFloat(const std::string& text);
bool TryStrToFloat(const std::string& text, double& value);

}  // namespace platform

#endif  // PLATFORM_NUMTEXT_H_
