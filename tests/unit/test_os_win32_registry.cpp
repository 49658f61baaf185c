// The 32-bit registry view: what a 32-bit program (the shipping launcher) sees below
// HKEY_LOCAL_MACHINE\SOFTWARE is another key than what a 64-bit one sees there. (The .NET
// release itself is read in that view by the prerequisite tests, test_min_spec.)
#include <gtest/gtest.h>

#include "common/GL_Registry.h"
#include "tests/support/SampleApp.h"
#include "tests/support/TestLog.h"
#include "tests/support/TestRegistry.h"

namespace {

class RegistryViews : public ::testing::Test {
protected:
    TestLog log{true};
    TestRegistry keys32{os::RegistryView::k32Bit};
    // A key of this test alone, shaped like the .NET key the launcher reads.
    const std::string key = "SOFTWARE\\ZEB Tests\\" + UniqueShortName("view") + "\\NDP\\v4\\Full";
    const std::wstring wideKey = os::Utf8ToWideLossy(key);
};

}  // namespace

TEST_F(RegistryViews, AValueOfThe32BitViewIsReadThroughIt) {
    keys32.WriteKey(key, R"({"Release": 528040})");
    int32_t release = 0;
    EXPECT_TRUE(GLCRegistry(GLRegistryRoot::LocalMachine, GLRegistryView::Wow64_32)
                    .ReadInt(wideKey, L"Release", release));
    EXPECT_EQ(release, 528040);
}

TEST_F(RegistryViews, The64BitProgramsOwnViewDoesNotSeeIt) {
    if (sizeof(void*) != 8) GTEST_SKIP() << "a 32-bit program has one view";
    keys32.WriteKey(key, R"({"Release": 528040})");
    GLCRegistry own(GLRegistryRoot::LocalMachine);
    int32_t release = 7;
    EXPECT_FALSE(own.HasKey(wideKey));
    EXPECT_FALSE(own.ReadInt(wideKey, L"Release", release));
    EXPECT_EQ(release, 7);
    EXPECT_EQ(log.Matching("RegOpenKeyEx() 실패(LastErr: 2)").size(), 1u) << log.Text();
}
