// lines.cpp - where lines come from: a batch file (UTF-8, or UTF-16
// little-endian with a byte-order mark, read whole before its first line
// runs), standard input from a file or a pipe (UTF-8, read as it comes), or
// a console (UTF-16, with a prompt).
#include "cmdproc.h"

#include "../takecmd/standin_host.h"
#include "../../windows/files.h"

namespace {

enum class Source {
    Text,     // the whole text is in LineReader::text already
    Stream,   // UTF-8 bytes from a file or a pipe, read as needed
    Console,  // UTF-16 from ReadConsoleW, read as needed
};

struct LineReader {
    Source source = Source::Text;
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::string bytes;    // read from a stream, not yet returned
    std::u16string text;  // decoded or typed, not yet returned
    bool ended = false;   // nothing more to read from the handle
    bool first = true;    // the next line is the first
};

// Takes the next line, up to a line feed or the end, out of text (decoded
// characters, or a stream's bytes).
template <typename String>
bool TakeLine(String& text, String& line)
{
    if (text.empty())
        return false;
    size_t newline = text.find('\n');
    line = text.substr(0, newline);
    text.erase(0, newline == String::npos ? newline : newline + 1);
    return true;
}

bool ReadLine(LineReader& reader, std::u16string& line)
{
    switch (reader.source) {
    case Source::Text:
        if (!TakeLine(reader.text, line))
            return false;
        break;
    case Source::Console:
        while (reader.text.find(u'\n') == std::u16string::npos && !reader.ended) {
            wchar_t chunk[1024];
            DWORD got = 0;
            if (!ReadConsoleW(reader.handle, chunk, 1024, &got, nullptr) || got == 0)
                reader.ended = true;
            reader.text.append(reinterpret_cast<char16_t*>(chunk), got);
        }
        if (!TakeLine(reader.text, line))
            return false;
        break;
    case Source::Stream: {
        while (reader.bytes.find('\n') == std::string::npos && !reader.ended) {
            char chunk[4096];
            DWORD got = 0;
            if (!ReadFile(reader.handle, chunk, sizeof chunk, &got, nullptr) || got == 0)
                reader.ended = true;
            reader.bytes.append(chunk, got);
        }
        std::string bytes;
        if (!TakeLine(reader.bytes, bytes))
            return false;
        size_t start = reader.first && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        Utf16(std::string_view(bytes).substr(start), &line);
        break;
    }
    }
    reader.first = false;
    if (!line.empty() && line.back() == u'\r')
        line.pop_back();
    return true;
}

void RunLines(LineReader& reader, bool inBatch)
{
    std::u16string line;
    bool prompt = reader.source == Source::Console && !inBatch;
    for (long long number = 1; !ExitRequested(); ++number) {
        if (prompt)
            Out(u"> ");
        if (!ReadLine(reader, line))
            break;
        if (inBatch)
            StandinSetVariable(u"_batchline", Number(number).c_str());
        RunLine(line);
    }
}

bool StartsWith(const std::string& bytes, const char* prefix, size_t length)
{
    return bytes.size() >= length && bytes.compare(0, length, prefix, length) == 0;
}

// A batch file's text: UTF-8 (a byte-order mark is skipped), or UTF-16
// little-endian after its byte-order mark.  Anything else is refused with
// the reason in *why, rather than run as garbled commands.
bool DecodeBatch(const std::string& bytes, std::u16string* text, std::u16string* why)
{
    if (StartsWith(bytes, "\xFF\xFE\0\0", 4) || StartsWith(bytes, "\0\0\xFE\xFF", 4)) {
        *why = u"it is UTF-32";
        return false;
    }
    if (StartsWith(bytes, "\xFE\xFF", 2)) {
        *why = u"it is UTF-16 big-endian";
        return false;
    }
    if (StartsWith(bytes, "\xFF\xFE", 2)) {
        if (bytes.size() % 2 != 0) {
            *why = u"its UTF-16 ends in half a character";
            return false;
        }
        text->resize((bytes.size() - 2) / 2);
        for (size_t i = 0; i < text->size(); ++i)
            (*text)[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                               static_cast<unsigned char>(bytes[3 + 2 * i]) << 8);
        return true;
    }
    size_t start = StartsWith(bytes, "\xEF\xBB\xBF", 3) ? 3 : 0;
    if (bytes.find('\0', start) != std::string::npos) {
        *why = u"it holds zero bytes (UTF-16 without a byte-order mark?)";
        return false;
    }
    if (!Utf16(std::string_view(bytes).substr(start), text, MB_ERR_INVALID_CHARS)) {
        *why = u"it is not UTF-8";
        return false;
    }
    return true;
}

}  // namespace

void RunStandardInput()
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode;
    LineReader reader;
    reader.source = GetConsoleMode(input, &mode) ? Source::Console : Source::Stream;
    reader.handle = input;
    RunLines(reader, false);
}

bool RunBatch(const std::u16string& name)
{
    std::vector<wchar_t> full(MAX_PATH);
    DWORD n = GetFullPathNameW(W(name), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.resize(n);
        n = GetFullPathNameW(W(name), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (n == 0) {
        Error(u"Bad batch file name: " + name);
        return false;
    }
    std::u16string fullName(reinterpret_cast<char16_t*>(full.data()), n);
    HANDLE file = CreateFileW(W(fullName), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        SystemError(u"Cannot open " + fullName, error);
        return false;
    }
    std::string bytes;
    bool read = ReadHandleBytes(file, &bytes);
    DWORD readError = GetLastError();
    CloseHandle(file);
    if (!read) {
        SystemError(u"Cannot read " + fullName, readError);
        return false;
    }
    LineReader reader;
    reader.source = Source::Text;
    std::u16string why;
    if (!DecodeBatch(bytes, &reader.text, &why)) {
        Error(u"Cannot run " + fullName + u": " + why +
              u"; a batch file must be UTF-8, or UTF-16 little-endian with a byte-order mark");
        return false;
    }

    StandinSetVariable(u"_batch", u"1");
    StandinSetVariable(u"_batchname", fullName.c_str());
    RunLines(reader, true);
    StandinSetVariable(u"_batch", u"0");
    StandinSetVariable(u"_batchname", nullptr);
    StandinSetVariable(u"_batchline", nullptr);
    return true;
}
