#!/bin/bash
# Records the GoogleTest reports that the kit's judge is tested against
# (tests/kit/reports/VERSION/): a small program of GoogleTest's own, built
# against the GoogleTest sources given, lists and runs three sets of tests.
#   clean        a test that passes, one that fails, one skipped with its
#                reason, one skipped without, one that records findings
#   setup        a suite whose set-up fails
#   environment  a test that passes, in a test environment that fails
# Run it again for a new GoogleTest, and keep what the judge must read alike.
#   tools/record-gtest-reports.sh GOOGLETEST_SOURCE VERSION
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source_dir="${1:?usage: tools/record-gtest-reports.sh GOOGLETEST_SOURCE VERSION}"
out="$root/tests/kit/reports/${2:?usage: tools/record-gtest-reports.sh GOOGLETEST_SOURCE VERSION}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cat >"$work/sample.cpp" <<'CPP'
#include <gtest/gtest.h>
#if SET == 1
TEST(Sample, Passes) {}
TEST(Sample, Fails) { EXPECT_EQ(1, 2) << "planted"; }
TEST(Sample, SkipsSaying)
{
    RecordProperty("skip_reason", "the console refused a 120 x 300 screen buffer");
    GTEST_SKIP() << "the console refused a 120 x 300 screen buffer";
}
TEST(Sample, SkipsSilently) { GTEST_SKIP(); }
TEST(Sample, Finds) { RecordProperty("findings", "U+2028: one\nU+2029: two"); }
#elif SET == 2
struct Broken : ::testing::Test {
    static void SetUpTestSuite() { FAIL() << "the suite's set-up failed"; }
};
TEST_F(Broken, NeverRuns) {}
#else
TEST(Sample, Passes) {}
struct Failing : ::testing::Environment {
    void TearDown() override { FAIL() << "the environment failed"; }
};
#endif
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
#if SET == 3
    ::testing::AddGlobalTestEnvironment(new Failing);
#endif
    return RUN_ALL_TESTS();
}
CPP
cd "$work"
flags=(-std=c++17 -O0 -w -I"$source_dir/googletest/include" -I"$source_dir/googletest" -pthread)
g++ "${flags[@]}" -c "$source_dir/googletest/src/gtest-all.cc" -o gtest-all.o
mkdir -p "$out"
set=0
for name in clean setup environment; do
    set=$((set + 1))
    g++ "${flags[@]}" -DSET=$set sample.cpp gtest-all.o -o sample
    ./sample --gtest_list_tests --gtest_output="json:list.json" >/dev/null
    ./sample --gtest_output="json:run.json" >/dev/null || true
    # Nothing of this moment: the times are not judged.
    sed -E 's/"(timestamp|time)": "[^"]*"/"\1": "0"/' list.json >"$out/$name-list.json"
    sed -E 's/"(timestamp|time)": "[^"]*"/"\1": "0"/' run.json >"$out/$name-run.json"
done
ls "$out"
