// expand.cpp - expanding a line with the stand-in host's own expander
// (standin/takecmd/expand.cpp): variables come from the stand-in
// TakeCmd.dll, and %@NAME[args] calls a plugin's function with its own
// arguments expanded first.  One pass, left to right, so that nothing a
// variable or a function yields is expanded again (a % in a batch file's
// name stays a %).
#include "cmdproc.h"

#include "../../host/interface/host_limits.h"
#include "../takecmd/expand.h"
#include "../takecmd/standin_host.h"

namespace {

// A variable holds at most a command line, which the host's result buffer
// holds too.
std::u16string Variable(const std::u16string& name)
{
    std::vector<char16_t> value(HOST_RESULT_CAPACITY, u'\0');
    StandinGetVariable(name.c_str(), value.data(), value.size());
    return value.data();
}

}  // namespace

std::u16string Expand(const std::u16string& text)
{
    return standin::ExpandText(text, Variable, CallFunction);
}
