#pragma once

// Hexadecimal digits as capture files and digit codes write them: upper case.

// The digit of each nibble value.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// The value 0-15 of an upper-case digit ("0"-"9", "A"-"F"); -1 for anything else.
constexpr int upperHexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// The same, taking lower-case digits ("a"-"f") too.
constexpr int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    const char16_t lower = c | 0x20; // "A"-"F" and "a"-"f" differ in this bit alone
    if (lower >= u'a' && lower <= u'f')
        return lower - u'a' + 10;
    return -1;
}
