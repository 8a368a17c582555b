// tokenizer.cpp - splits the variable function's argument text into
// ArgList: commas outside double quotes separate, quotes group and vanish,
// leading white space is skipped, trailing white space trimmed, a-z upper-cased.
#include "platform.h"
#include "../host/interface/host_services.h"

ArgListRecord ArgList;

// The last position of argBuffer.  It may hold a terminator but never a
// character, so that every stored character has room for the zero after it.
static constexpr int32_t kLastPosition = MAX_ARG_LEN - 1;

static void ResetArgList()
{
    for (int i = 0; i < MAX_ARGS; ++i) {
        ArgList.argText[i] = nullptr;
        ArgList.argLen[i] = 0;
    }
    ArgList.argCount = 0;
    ArgList.argBuffer[0] = 0;
}

static void TrimArguments(int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        Char* text = ArgList.argText[i];
        while (ArgList.argLen[i] > 0 && IsWhiteSpace(text[ArgList.argLen[i] - 1])) {
            --ArgList.argLen[i];
            text[ArgList.argLen[i]] = 0;
        }
    }
}

static int32_t ReportOverflow(int32_t store)
{
    PrintErrorPrefix();
    // "b = " and the blank before the line end stay, as callers may rely on them.
    Qprintf(platform::StdErrorHandle(), u"Buffer overflow: b = %d, MAX_ARG_LEN = %d \r\n", store,
            MAX_ARG_LEN);
    return -1;
}

int32_t TokenizeArgs(const Char* text)
{
    if (text == nullptr)
        return -1;
    ResetArgList();

    int32_t store = 0;   // always holds the current argument's terminator
    int32_t index = 0;   // the entry the current argument fills
    int32_t stored = 0;  // characters stored for the current argument
    bool inQuotes = false;

    for (const Char* p = text;; ++p) {
        Char c = *p;
        if (c == u'"') {
            inQuotes = !inQuotes;
        } else if (!inQuotes && stored == 0 && IsWhiteSpace(c)) {
            // leading white space: skipped
        } else if (!inQuotes && c == u',') {
            ++index;
            stored = 0;
            // A separator with the store already at the last position has no
            // position to take: the argument simply ends there, sharing that
            // terminator with the next.  Any character after it overflows,
            // so nothing is lost by not reporting the overflow here.
            if (store < kLastPosition) {
                ++store;
                ArgList.argBuffer[store] = 0;
            }
        } else if (c == 0) {
            if (stored > 0)
                ++index;
            break;
        } else {
            if (store >= kLastPosition)
                return ReportOverflow(store);
            if (index >= MAX_ARGS)
                continue;  // beyond the table: read but not kept
            if (stored == 0)
                ArgList.argText[index] = &ArgList.argBuffer[store];
            ArgList.argBuffer[store] = UpperAscii(c);
            ++store;
            ArgList.argBuffer[store] = 0;
            ++stored;
            ArgList.argLen[index] = stored;
        }
    }

    int32_t count = index < MAX_ARGS ? index : MAX_ARGS;
    TrimArguments(count);
    ArgList.argCount = count;
    return count;
}
