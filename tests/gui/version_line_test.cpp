#include "app/version_line.h"

#include <gtest/gtest.h>

namespace {

struct VersionCase
{
    const char* fileVersion;
    const char* line;
};

class VersionLineTest : public testing::TestWithParam<VersionCase>
{};

TEST_P(VersionLineTest, fileVersion_givesLine)
{
    EXPECT_EQ(kestrum::VersionLine(GetParam().fileVersion), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    ThirdNumberDroppedOnlyWhenZero, VersionLineTest,
    testing::Values(
        VersionCase{"2, 2, 0, 38", "Quorvel Motor Control Monitor v2.2 (build 38)"},
        VersionCase{"2, 0, 0, 16", "Quorvel Motor Control Monitor v2.0 (build 16)"},
        VersionCase{"1, 10, 0, 5", "Quorvel Motor Control Monitor v1.10 (build 5)"},
        VersionCase{"2, 2, 1, 38", "Quorvel Motor Control Monitor v2.2.1 (build 38)"},
        VersionCase{"2, 0, 10, 3", "Quorvel Motor Control Monitor v2.0.10 (build 3)"},
        VersionCase{"3, 0, 0, 0", "Quorvel Motor Control Monitor v3.0 (build 0)"},
        VersionCase{"1, 0, 0, 1", "Quorvel Motor Control Monitor v1.0 (build 1)"},
        VersionCase{"10, 20, 30, 40", "Quorvel Motor Control Monitor v10.20.30 (build 40)"},
        VersionCase{"1, 0, 100, 7", "Quorvel Motor Control Monitor v1.0.100 (build 7)"}));

// Texts that do not hold a version and a build give nothing, so the About box
// keeps its placeholder; none of them may read outside the text.
INSTANTIATE_TEST_SUITE_P(MalformedGivesNothing, VersionLineTest,
                         testing::Values(VersionCase{"", ""}, VersionCase{"38", ""},
                                         VersionCase{".", ""}, VersionCase{"0.", ""},
                                         VersionCase{", 5", ""}, VersionCase{"2, ", ""}));

} // namespace
