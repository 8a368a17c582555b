// expand.cpp - expanding a line: %name and %[name] give variables, %% a %,
// and %@NAME[args] calls a plugin's function with its own arguments
// expanded first.  One pass, left to right, so that nothing a variable or a
// function yields is expanded again (a % in a batch file's name stays a %).
#include "cmdproc.h"

#include "../takecmd/standin_host.h"

namespace {

// Large enough for any value: a variable holds at most a command line.
constexpr size_t kValueCapacity = 32768;

std::u16string Variable(const std::u16string& name)
{
    std::vector<char16_t> value(kValueCapacity, u'\0');
    StandinGetVariable(name.c_str(), value.data(), value.size());
    return value.data();
}

// The ']' that closes the '[' at open, counting nested pairs; npos if none.
size_t MatchingBracket(const std::u16string& text, size_t open)
{
    int depth = 0;
    for (size_t i = open; i < text.size(); ++i) {
        if (text[i] == u'[')
            ++depth;
        else if (text[i] == u']' && --depth == 0)
            return i;
    }
    return std::u16string::npos;
}

}  // namespace

std::u16string Expand(const std::u16string& text)
{
    std::u16string out;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != u'%') {
            out += text[i++];
            continue;
        }
        char16_t next = i + 1 < text.size() ? text[i + 1] : u'\0';
        if (next == u'%') {
            out += u'%';
            i += 2;
        } else if (next == u'@') {
            size_t name = i + 2, open = name;
            while (open < text.size() && IsNameChar(text[open]))
                ++open;
            size_t close = open > name && open < text.size() && text[open] == u'['
                               ? MatchingBracket(text, open)
                               : std::u16string::npos;
            if (close == std::u16string::npos) {
                out += text[i++];
                continue;
            }
            out += CallFunction(text.substr(name, open - name),
                                Expand(text.substr(open + 1, close - open - 1)));
            i = close + 1;
        } else if (next == u'[') {
            size_t close = text.find(u']', i + 2);
            if (close == std::u16string::npos) {
                out += text[i++];
                continue;
            }
            out += Variable(text.substr(i + 2, close - i - 2));
            i = close + 1;
        } else if (IsNameChar(next)) {
            size_t end = i + 1;
            while (end < text.size() && IsNameChar(text[end]))
                ++end;
            out += Variable(text.substr(i + 1, end - i - 1));
            i = end;
        } else {
            out += text[i++];
        }
    }
    return out;
}
