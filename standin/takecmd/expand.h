// expand.h - the stand-in host's expansion of a line, written once for both
// of its users: ExpandVariables and StandinExpand in the stand-in TakeCmd.dll,
// and the stand-in command processor, which expands its lines with it and
// answers %@NAME[args] with its plugins' functions.  It is compiled into each
// of them rather than exported, so that no std::u16string crosses the DLL's
// boundary.
#pragma once

#include <string>

namespace standin {

// A variable's value; empty when it is not set.
using VariableValue = std::u16string (*)(const std::u16string& name);
// A function's result, given its name and its arguments, expanded already.
using FunctionResult = std::u16string (*)(const std::u16string& name,
                                          const std::u16string& args);

// The text with every reference replaced, in one pass from left to right, so
// that nothing a variable or a function yields is expanded again:
//   %name     a variable; the name runs over letters, digits, '_' and '$'
//   %[name]   a variable; the name is anything up to the first ']'
//   %%        a '%'
//   %@NAME[args]  with a function given, its result; the ']' is found by
//             counting nested pairs, and the arguments are expanded first
// A '%' that starts none of these (at the end, before another character,
// before a '[' that is never closed, or before '@' without a function) stays
// as it is.  The result is as long as it comes out: a caller with a line
// limit cuts it.
std::u16string ExpandText(const std::u16string& text, VariableValue variable,
                          FunctionResult function);

}  // namespace standin
