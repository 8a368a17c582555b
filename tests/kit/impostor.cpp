// impostor.cpp - a false test program, planted in a doctored copy of the
// test kit in place of a real one, to prove that run-tests.cmd counts what
// it reports as it should.  CELLATTR_IMPOSTOR says what it does:
//   silent     (or anything else) prints nothing and exits with 0, whatever
//              it is asked;
//   disagrees  lists three tests, then runs two and reports both passed;
//   skips      lists three tests, then reports all three run: two passed,
//              one skipped (an honest summary, which the kit must take);
//   skips-short lists three tests, then reports two run: one passed, one
//              skipped, and the third not at all.
// The summaries are in GoogleTest's words under --gtest_brief=1.
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
    if (how == nullptr ||
        (std::strcmp(how, "disagrees") != 0 && std::strcmp(how, "skips") != 0 &&
         std::strcmp(how, "skips-short") != 0))
        return 0;  // silent, or anything else
    if (Asked(argc, argv, "--gtest_list_tests")) {
        std::printf("Impostor.\n  First\n  Second\n  Third\n");
        return 0;
    }
    if (std::strcmp(how, "skips") == 0) {
        std::printf("impostor.cpp(1): Skipped\nthe third is skipped\n\n"
                    "[==========] 3 tests from 1 test suite ran. (0 ms total)\n"
                    "[  PASSED  ] 2 tests.\n"
                    "[  SKIPPED ] 1 test.\n");
    } else if (std::strcmp(how, "skips-short") == 0) {
        std::printf("[==========] 2 tests from 1 test suite ran. (0 ms total)\n"
                    "[  PASSED  ] 1 test.\n"
                    "[  SKIPPED ] 1 test.\n");
    } else {
        std::printf("[==========] 2 tests from 1 test suite ran. (0 ms total)\n"
                    "[  PASSED  ] 2 tests.\n");
    }
    return 0;
}
