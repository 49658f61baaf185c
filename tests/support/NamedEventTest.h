#pragma once
// A named event of one test alone, removed at the end.
#include <gtest/gtest.h>

#include <string>

#include "common/os/os.h"
#include "tests/support/SampleApp.h"

class EventTest : public ::testing::Test {
protected:
    static std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

    std::wstring name = Wide(SampleAppEventName(UniqueShortName("event")));
    ~EventTest() override { os::RemoveNamedEvent(name); }
};
