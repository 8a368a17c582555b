// expand.cpp - the stand-in host's one expander of %name, %[name], %% and,
// for the command processor, %@NAME[args] (see expand.h).
#include "expand.h"

namespace standin {

namespace {

bool IsNameChar(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
           c == u'_' || c == u'$';
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

// The function call whose "%@" is at text[at]: appends its result to out and
// returns the index just past its ']', or npos (out untouched) when no name
// and closed brackets follow.
size_t ExpandCall(const std::u16string& text, size_t at, VariableValue variable,
                  FunctionResult function, std::u16string& out)
{
    size_t name = at + 2, open = name;
    while (open < text.size() && IsNameChar(text[open]))
        ++open;
    if (open == name || open == text.size() || text[open] != u'[')
        return std::u16string::npos;
    size_t close = MatchingBracket(text, open);
    if (close == std::u16string::npos)
        return close;
    std::u16string args = ExpandText(text.substr(open + 1, close - open - 1), variable, function);
    out += function(text.substr(name, open - name), args);
    return close + 1;
}

}  // namespace

std::u16string ExpandText(const std::u16string& text, VariableValue variable,
                          FunctionResult function)
{
    std::u16string out;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != u'%') {
            out += text[i++];
            continue;
        }
        char16_t next = i + 1 < text.size() ? text[i + 1] : u'\0';
        size_t end = std::u16string::npos;  // just past the reference
        if (next == u'%') {
            out += u'%';
            end = i + 2;
        } else if (next == u'@' && function != nullptr) {
            end = ExpandCall(text, i, variable, function, out);
        } else if (next == u'[') {
            size_t close = text.find(u']', i + 2);
            if (close != std::u16string::npos) {
                out += variable(text.substr(i + 2, close - i - 2));
                end = close + 1;
            }
        } else if (IsNameChar(next)) {
            end = i + 1;
            while (end < text.size() && IsNameChar(text[end]))
                ++end;
            out += variable(text.substr(i + 1, end - i - 1));
        }
        if (end == std::u16string::npos)
            out += text[i++];  // not a reference: the '%' stays
        else
            i = end;
    }
    return out;
}

}  // namespace standin
