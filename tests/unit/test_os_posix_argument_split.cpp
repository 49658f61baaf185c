#include <gtest/gtest.h>

#include "common/os/posix_argument_split.h"

using os::posix::SplitWindowsArguments;

using Args = std::vector<std::wstring>;

TEST(CommandLineSplitBlanks, EmptyAndBlankTextGiveNoArguments) {
    EXPECT_EQ(SplitWindowsArguments(L""), Args{});
    EXPECT_EQ(SplitWindowsArguments(L"  \t  "), Args{});
}

TEST(CommandLineSplitBlanks, SpacesAndTabsSeparateAndRunsCountOnce) {
    EXPECT_EQ(SplitWindowsArguments(L"  a \t b\t\tc  "), (Args{L"a", L"b", L"c"}));
}

TEST(CommandLineSplitBlanks, OtherWhiteSpaceIsPartOfTheArgument) {
    EXPECT_EQ(SplitWindowsArguments(L"a\nb c\rd"), (Args{L"a\nb", L"c\rd"}));
}

TEST(CommandLineSplitQuotes, QuotesGroupBlanksAndAreRemoved) {
    EXPECT_EQ(SplitWindowsArguments(L"\"a b\" c"), (Args{L"a b", L"c"}));
    EXPECT_EQ(SplitWindowsArguments(L"x\"a b\"y z"), (Args{L"xa by", L"z"}));
}

TEST(CommandLineSplitQuotes, LauncherItemsKeepTheirValueWhole) {
    EXPECT_EQ(SplitWindowsArguments(L"--PRG_ID=\"p 1\" --CMD=\"run\""),
              (Args{L"--PRG_ID=p 1", L"--CMD=run"}));
}

TEST(CommandLineSplitQuotes, EmptyQuotesGiveAnEmptyArgument) {
    EXPECT_EQ(SplitWindowsArguments(L"a \"\" b"), (Args{L"a", L"", L"b"}));
    EXPECT_EQ(SplitWindowsArguments(L"\"\""), (Args{L""}));
}

TEST(CommandLineSplitQuotes, UnclosedQuoteRunsToTheEnd) {
    EXPECT_EQ(SplitWindowsArguments(L"a \"b c"), (Args{L"a", L"b c"}));
}

TEST(CommandLineSplitQuotes, DoubledQuoteInsideAGroupIsLiteralAndEndsTheGroup) {
    EXPECT_EQ(SplitWindowsArguments(L"\"a\"\"b\""), (Args{L"a\"b"}));
    EXPECT_EQ(SplitWindowsArguments(L"a\"b\"\" c d"), (Args{L"ab\"", L"c", L"d"}));
}

TEST(CommandLineSplitQuotes, EveryThirdQuoteOfARunIsLiteral) {
    EXPECT_EQ(SplitWindowsArguments(L"\"\"\""), (Args{L"\""}));
    EXPECT_EQ(SplitWindowsArguments(L"\"\"\"\"\"\" x"), (Args{L"\"\"", L"x"}));
}

TEST(CommandLineSplitBackslashes, BackslashesNotBeforeAQuoteAreLiteral) {
    EXPECT_EQ(SplitWindowsArguments(L"C:\\dir\\file a\\\\b"), (Args{L"C:\\dir\\file", L"a\\\\b"}));
    EXPECT_EQ(SplitWindowsArguments(L"tail\\"), (Args{L"tail\\"}));
}

TEST(CommandLineSplitBackslashes, OddCountBeforeAQuoteEscapesIt) {
    EXPECT_EQ(SplitWindowsArguments(L"a\\\"b c"), (Args{L"a\"b", L"c"}));
    EXPECT_EQ(SplitWindowsArguments(L"a\\\\\\\"b"), (Args{L"a\\\"b"}));
}

TEST(CommandLineSplitBackslashes, EvenCountBeforeAQuoteIsHalvedAndTheQuoteGroups) {
    EXPECT_EQ(SplitWindowsArguments(L"a\\\\\"b c\" d"), (Args{L"a\\b c", L"d"}));
    EXPECT_EQ(SplitWindowsArguments(L"\"C:\\dir\\\\\" next"), (Args{L"C:\\dir\\", L"next"}));
}

TEST(CommandLineSplitBackslashes, EscapedQuoteInsideAGroupStaysInIt) {
    EXPECT_EQ(SplitWindowsArguments(L"\"say \\\"hi\\\" now\" x"), (Args{L"say \"hi\" now", L"x"}));
}

TEST(CommandLineSplitText, NonAsciiTextPassesUnchanged) {
    EXPECT_EQ(SplitWindowsArguments(L"\"업데이트 폴더\" 😀"), (Args{L"업데이트 폴더", L"😀"}));
}
