// error_report.cpp - the start of every error line (plugin name, and the
// batch file's name and line inside a batch file) and the system's text for
// a Windows error code.
#include "platform.h"
#include "../host/interface/host_services.h"

int32_t PrintErrorPrefix()
{
    platform::Handle err = platform::StdErrorHandle();
    Qprintf(err, u"%s plugin: ", PLUGIN_NAME);

    // Large enough for the host to expand a batch file's full name and line.
    Char buffer[EXPANSION_BUFFER_LEN] = {};
    TextCopy(buffer, EXPANSION_BUFFER_LEN, u"%_batch");
    ExpandVariables(buffer, 1);
    if (buffer[0] == u'0')
        return 0;  // not inside a batch file

    TextCopy(buffer, EXPANSION_BUFFER_LEN, u"%_batchname [%_batchline]  ");
    ExpandVariables(buffer, 1);
    // As an argument, never as the format: a % in the name prints as itself.
    Qprintf(err, u"%s", buffer);
    return 0;
}

int32_t SystemErrorText(uint32_t code, Char* buffer)
{
    if (buffer == nullptr)
        return -1;
    if (code == 0xFFFFFFFFu) {  // never asked of the system: callers may rely on this text
        TextCopy(buffer, SYSTEM_ERROR_TEXT_LEN, u"Unknown error");
    } else if (platform::SystemMessage(code, buffer, SYSTEM_ERROR_TEXT_LEN) == 0) {
        platform::FormatText(buffer, u"Error %d", static_cast<int32_t>(code));
    }
    // The system ends its texts with a blank or a line end; drop them.
    size_t n = TextLength(buffer);
    while (n > 0 && IsWhiteSpace(buffer[n - 1]))
        buffer[--n] = 0;
    return 0;
}
