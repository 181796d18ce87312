// arguments.h — how the tools read numbers on their command lines: the one
// rule that the frame tool and the capture tool share.
#pragma once

// Reads text as a plain decimal number: digits, optionally with a point and
// a fraction ("12", "3.5", ".5", "5."), and nothing around it: no sign, no
// spaces, no exponent, no hexadecimal, no "inf" or "nan". False otherwise,
// and for a value too large for a double.
bool parse_decimal(const char *text, double &value);
// A plain decimal that is whole (7 or 7.0) and within low..high.
bool parse_whole(const char *text, int low, int high, int &value);
