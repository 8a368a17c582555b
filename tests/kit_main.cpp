// kit_main.cpp - main() of the Windows test programs that the kit runs, as
// GoogleTest's own, with the test kit's progress file (progress.h).
#include "../windows/no_fault_ui.h"
#include "progress.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    NoFaultUi();
    ::testing::InitGoogleTest(&argc, argv);
    progress::Install();
    return RUN_ALL_TESTS();
}
