// capture.h - what the stand-in host wrote to standard error during a test,
// read the same way on both targets.
#pragma once

#include <string>

void StderrCaptureBegin();
std::u16string StderrCaptureEnd();

// The same for the host's console output, where Printf writes.
void StdoutCaptureBegin();
std::u16string StdoutCaptureEnd();

// Sets (or, with nullptr, removes) a host variable for the code under test.
void SetHostVariable(const char16_t* name, const char16_t* value);
// Every host variable back to its default: no batch file, interactive.
void ResetHostVariables();
