// arguments.cpp — the tools' numbers on the command line.
// Must stay true: only the characters checked here reach strtod, so its
// readings of signs, spaces, exponents and hexadecimal never apply.
#include "arguments.h"
#include <cmath>
#include <cstdlib>

bool parse_decimal(const char *text, double &value)
{
    if (!text)
        return false;
    int digits = 0, points = 0;
    for (const char *c = text; *c; ++c) {
        if (*c >= '0' && *c <= '9')
            digits++;
        else if (*c == '.' && points == 0)
            points++;
        else
            return false;
    }
    if (digits == 0)
        return false;
    value = std::strtod(text, nullptr);   // the tools never set a locale: the point is "."
    return std::isfinite(value);
}

bool parse_whole(const char *text, int low, int high, int &value)
{
    double number = 0.0;
    if (!parse_decimal(text, number) || number != std::floor(number) || number < low || number > high)
        return false;
    value = static_cast<int>(number);
    return true;
}
