// impostor.cpp - a false test program, planted in a doctored copy of the
// test kit in place of a real one, to prove that run-tests.cmd counts it as
// failed instead of as passed.  CELLATTR_IMPOSTOR says how it lies:
//   silent    prints nothing and exits with 0, whatever it is asked;
//   disagrees lists three tests, then runs two and reports both passed.
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool Asked(int argc, char** argv, const char* flag)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], flag) == 0)
            return true;
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* how = std::getenv("CELLATTR_IMPOSTOR");
    if (how == nullptr || std::strcmp(how, "disagrees") != 0)
        return 0;
    if (Asked(argc, argv, "--gtest_list_tests")) {
        std::printf("Impostor.\n  First\n  Second\n  Third\n");
        return 0;
    }
    std::printf("[==========] 2 tests from 1 test suite ran. (0 ms total)\n"
                "[  PASSED  ] 2 tests.\n");
    return 0;
}
