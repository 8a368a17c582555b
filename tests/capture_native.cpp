// capture_native.cpp - capture through the native stand-in's record.
#include "capture.h"

#include "../standin/takecmd/standin_host.h"

void StderrCaptureBegin()
{
    standin::TakeOutput(standin::StdError());
}

std::u16string StderrCaptureEnd()
{
    return standin::TakeOutput(standin::StdError());
}

void StdoutCaptureBegin()
{
    standin::TakeOutput(standin::StdOutput());
}

std::u16string StdoutCaptureEnd()
{
    return standin::TakeOutput(standin::StdOutput());
}

void SetHostVariable(const char16_t* name, const char16_t* value)
{
    StandinSetVariable(name, value);
}

void ResetHostVariables()
{
    StandinResetVariables();
}
