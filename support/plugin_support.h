// plugin_support.h - the services that the module's variable function and
// entry points share: UTF-16 text helpers, white space, wide number
// conversion, the argument tokenizer and error reports.
#pragma once

#include <cstddef>
#include <cstdint>

// Text is UTF-16 everywhere; sizes are counted in characters.  Windows-only
// code casts to wchar_t at the API boundary, where both are 16 bits wide.
using Char = char16_t;

// The calling convention of the exports the host calls by name: the
// platform's standard one (on x86-64 Windows there is only one).
#ifdef _WIN32
#define PLUGIN_API __stdcall
#else
#define PLUGIN_API
#endif

// The plugin's name, as it appears in messages, the banner and the help box.
inline constexpr const Char* PLUGIN_NAME = u"CellAttr";

// ---------------------------------------------------------------------------
// Bounded text helpers.  Every writer takes the capacity of its destination in
// characters, terminator included, and never writes past it; with a capacity
// of 0 nothing is written at all.

[[nodiscard]] size_t TextLength(const Char* text);
size_t TextCopy(Char* dest, size_t capacity, const Char* src);
[[nodiscard]] bool TextEqual(const Char* a, const Char* b);

// Case is ASCII only, everywhere: a to z are upper-cased, and every other
// character keeps its case (accented letters too).
[[nodiscard]] constexpr Char UpperAscii(Char c)
{
    return (c >= u'a' && c <= u'z') ? static_cast<Char>(c - (u'a' - u'A')) : c;
}

// White space: U+0009..U+000D, U+0020 and U+00A0 below U+0100; from U+0100 on
// the platform's space class (IsSpaceTable where the platform has none);
// U+FFFF never.
[[nodiscard]] bool IsWhiteSpace(Char c);
// Our own table of the characters from U+0100 on that Windows classes as
// space (C1_SPACE).  Used natively; the Windows tests compare it with the
// system's classification.
[[nodiscard]] bool IsSpaceTable(Char c);

// ---------------------------------------------------------------------------
// Wide number conversion with wcstoul/wcstol semantics, identical on every
// target: leading white space and one sign are accepted, base 16 skips one
// "0x"/"0X" prefix, and decimal digits of other scripts count (DigitValue).
// *end receives the first character not converted (the start of the text
// when nothing was converted); *rangeError is set when the value does not fit.

// The value of c as a digit in base 10 or 16, or -1.
[[nodiscard]] int DigitValue(Char c, int base);
uint32_t ConvertUnsigned(const Char* text, int base, const Char** end, bool* rangeError);
int32_t ConvertSigned(const Char* text, int base, const Char** end, bool* rangeError);

// ---------------------------------------------------------------------------
// Argument tokenizer.

inline constexpr int MAX_ARGS = 1024;
inline constexpr int MAX_ARG_LEN = 8192;

// The tokenizer's result, read by position.  After a successful call, for
// every i below argCount: argLen[i] > 0 implies argText[i] != nullptr and
// argText[i][argLen[i]] == 0; a null argText[i] goes with argLen[i] == 0.
// Entries from argCount on are null with length 0.  Every argument in
// argBuffer is zero-terminated at every moment, also in the middle of a call.
struct ArgListRecord {
    Char* argText[MAX_ARGS];
    int32_t argLen[MAX_ARGS];
    int32_t argCount;
    Char argBuffer[MAX_ARG_LEN];
};
extern ArgListRecord ArgList;

// Splits text at commas outside double quotes into ArgList.  Returns the
// argument count, or -1 when text is null or argBuffer overflows (after
// writing the overflow message).
[[nodiscard]] int32_t TokenizeArgs(const Char* text);

// ---------------------------------------------------------------------------
// Error reports.

inline constexpr size_t SYSTEM_ERROR_TEXT_LEN = 1024;

// Starts an error line on standard error: "CellAttr plugin: ", then, inside a
// batch file, "<batch name> [<line>]  ".  Returns 0.
int32_t PrintErrorPrefix();

// One line of system text for a Windows error code into buffer (capacity
// SYSTEM_ERROR_TEXT_LEN), with trailing white space removed.  Returns 0, or
// -1 when buffer is null.
int32_t SystemErrorText(uint32_t code, Char* buffer);
