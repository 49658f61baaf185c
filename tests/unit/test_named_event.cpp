#include <gtest/gtest.h>

#include <chrono>

#include "common/os/os.h"
#include "tests/support/NamedEventTest.h"
#include "tests/support/SampleApp.h"

TEST_F(EventTest, OneSignalWakesOneWait) {
    os::EventHandle created = 0, opened = 0;
    ASSERT_EQ(os::CreateNamedEvent(name, created), 0);
    ASSERT_EQ(os::OpenNamedEvent(name, opened), 0);
    EXPECT_EQ(os::SignalNamedEvent(opened), 0);
    EXPECT_TRUE(os::WaitNamedEvent(created, 0));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(os::WaitNamedEvent(created, 150));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(140));
    os::CloseNamedEvent(opened);
    os::CloseNamedEvent(created);
}

TEST_F(EventTest, SignalLeftFromAKilledProgramDoesNotReachTheNextOne) {
    os::EventHandle first = 0;
    ASSERT_EQ(os::CreateNamedEvent(name, first), 0);
    EXPECT_EQ(os::SignalNamedEvent(first), 0);
    os::CloseNamedEvent(first);  // never removed, as after a kill
    os::EventHandle second = 0;
    ASSERT_EQ(os::CreateNamedEvent(name, second), 0);
    EXPECT_FALSE(os::WaitNamedEvent(second, 0));
    os::CloseNamedEvent(second);
}

TEST_F(EventTest, CreatingAnEventThatIsInUseKeepsItsSignal) {
    os::EventHandle first = 0, second = 0, opened = 0;
    ASSERT_EQ(os::CreateNamedEvent(name, first), 0);
    ASSERT_EQ(os::OpenNamedEvent(name, opened), 0);
    EXPECT_EQ(os::SignalNamedEvent(opened), 0);
    ASSERT_EQ(os::CreateNamedEvent(name, second), 0);
    EXPECT_TRUE(os::WaitNamedEvent(second, 0));
    os::CloseNamedEvent(first);
    // Still held by the second creator.
    os::EventHandle again = 0;
    EXPECT_EQ(os::OpenNamedEvent(name, again), 0);
    os::CloseNamedEvent(again);
    os::CloseNamedEvent(opened);
    os::CloseNamedEvent(second);
}
