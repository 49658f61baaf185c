// Exit-event names of the POSIX stand-in: a named semaphore "/" + name, whose own "/" cannot
// stand inside the name.
#include <gtest/gtest.h>

#include "common/os/os.h"
#include "tests/support/NamedEventTest.h"
#include "tests/support/SampleApp.h"

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
