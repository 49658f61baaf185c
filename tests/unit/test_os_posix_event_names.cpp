// Exit-event names of the POSIX stand-in: a named semaphore "/" + name, whose own "/" cannot
// stand inside the name.
#include <gtest/gtest.h>

#include "common/os/os.h"
#include "tests/support/SampleApp.h"

namespace {

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

class EventTest : public ::testing::Test {
protected:
    std::wstring name = Wide(SampleAppEventName(UniqueShortName("event")));
    ~EventTest() override { os::RemoveNamedEvent(name); }
};

}  // namespace

TEST_F(EventTest, SlashInANameIsKeptInsideTheOneName) {
    const std::wstring slashed = name + L"/part";
    os::EventHandle event = 0, same = 0;
    ASSERT_EQ(os::CreateNamedEvent(slashed, event), 0);
    EXPECT_EQ(os::OpenNamedEvent(name + L"_part", same), 0);
    os::CloseNamedEvent(same);
    os::CloseNamedEvent(event);
    os::RemoveNamedEvent(slashed);
}

TEST(EventNames, EmptyNameIsRefused) {
    os::EventHandle event = 0;
    EXPECT_NE(os::CreateNamedEvent(L"", event), 0);
    EXPECT_NE(os::OpenNamedEvent(L"", event), 0);
}
