// tokenizer_fuzz.cpp - TokenizeArgs on any UTF-16 text.  The input's bytes,
// two to a character (little-endian), are copied and zero-terminated; after
// every call ArgList must hold what plugin_support.h promises.
#include "../support/plugin_support.h"
#include "../standin/takecmd/standin_host.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// argBuffer is the record's last member: a write past its end lands first in
// the record's tail padding (where AddressSanitizer cannot see it), then in
// the red zone after ArgList.  The padding gets a canary before every call.
constexpr size_t kBufferEndOffset =
    offsetof(ArgListRecord, argBuffer) + sizeof(ArgListRecord::argBuffer);
constexpr size_t kPadding = sizeof(ArgListRecord) - kBufferEndOffset;
static_assert(kPadding < alignof(ArgListRecord), "argBuffer must end the record");
constexpr unsigned char kCanary = 0xA5;

unsigned char* Padding()
{
    return reinterpret_cast<unsigned char*>(&ArgList) + kBufferEndOffset;
}

const Char* const kBufferEnd = ArgList.argBuffer + MAX_ARG_LEN;

bool InBuffer(const Char* p)
{
    return p >= ArgList.argBuffer && p < kBufferEnd;
}

// What holds for every entry that has text, whatever the outcome: it lies in
// argBuffer with its terminator, and entries follow one another without
// overlapping.
void CheckStoredEntries(int32_t upTo)
{
    const Char* previousEnd = nullptr;
    for (int32_t i = 0; i < upTo; ++i) {
        const Char* text = ArgList.argText[i];
        int32_t len = ArgList.argLen[i];
        FUZZ_CHECK(len >= 0 && len < MAX_ARG_LEN);
        if (len > 0)
            FUZZ_CHECK(text != nullptr);
        if (text == nullptr) {
            FUZZ_CHECK(len == 0);
            continue;
        }
        FUZZ_CHECK(InBuffer(text));
        FUZZ_CHECK(InBuffer(text + len));
        FUZZ_CHECK(text[len] == 0);
        if (previousEnd != nullptr)
            FUZZ_CHECK(text > previousEnd);  // past the previous terminator
        previousEnd = text + len;
    }
}

bool IsLowerAscii(Char c)
{
    return c >= u'a' && c <= u'z';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<Char> text(size / 2 + 1, 0);
    std::memcpy(text.data(), data, size / 2 * sizeof(Char));
    const std::vector<Char> original = text;
    const size_t length = TextLength(text.data());  // up to the first zero

    std::memset(Padding(), kCanary, kPadding);
    standin::TakeOutput(standin::StdError());
    int32_t count = TokenizeArgs(text.data());
    std::u16string message = standin::TakeOutput(standin::StdError());

    for (size_t i = 0; i < kPadding; ++i)
        FUZZ_CHECK(Padding()[i] == kCanary);  // nothing written past argBuffer
    FUZZ_CHECK(text == original);             // the input is only read

    if (count == -1) {
        // Only an overflow fails a non-null text, and it says so.  Each
        // character takes at most one position, and one is kept for the
        // terminator, so a text of MAX_ARG_LEN - 1 characters always fits.
        FUZZ_CHECK(length > static_cast<size_t>(MAX_ARG_LEN - 1));
        FUZZ_CHECK(message.rfind(u"CellAttr plugin: Buffer overflow: b = ", 0) == 0);
        FUZZ_CHECK(message.size() >= 2 && message.compare(message.size() - 2, 2, u"\r\n") == 0);
        FUZZ_CHECK(ArgList.argCount == 0);
        CheckStoredEntries(MAX_ARGS);  // gathered, untrimmed, but still well formed
        return 0;
    }

    FUZZ_CHECK(message.empty());
    FUZZ_CHECK(count >= 0 && count <= MAX_ARGS);
    FUZZ_CHECK(ArgList.argCount == count);
    CheckStoredEntries(count);

    size_t commas = 0;
    for (size_t i = 0; i < length; ++i)
        commas += text[i] == u',' ? 1 : 0;
    FUZZ_CHECK(static_cast<size_t>(count) <= commas + 1);

    for (int32_t i = 0; i < MAX_ARGS; ++i) {
        const Char* arg = ArgList.argText[i];
        int32_t len = ArgList.argLen[i];
        if (i >= count) {
            FUZZ_CHECK(arg == nullptr && len == 0);
            continue;
        }
        if (len == 0)
            continue;
        // Upper-cased, and trimmed at the end.
        for (int32_t k = 0; k < len; ++k)
            FUZZ_CHECK(!IsLowerAscii(arg[k]));
        FUZZ_CHECK(!IsWhiteSpace(arg[len - 1]));
    }
    return 0;
}
