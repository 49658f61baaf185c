// The Windows command line rebuilt from a POSIX argv, as the Linux start-up hands it on.
#include <gtest/gtest.h>

#include "common/os/posix_command_line.h"
#include "launcher/CommandLine.h"

namespace {

using os::posix::BuildWindowsCommandLine;

TEST(WindowsCommandLine, UnquotedItemValuesGetQuoted) {
    const auto rebuilt = BuildWindowsCommandLine(
        {"--PRG_ID=p1", "--CMD=\"run\"", "plain", "--FLAG", "--X=", "--PRG_ARGS=a b"});
    EXPECT_EQ(rebuilt.text,
              L"--PRG_ID=\"p1\" --CMD=\"run\" plain --FLAG --X=\"\" --PRG_ARGS=\"a b\"");
    EXPECT_TRUE(rebuilt.lossyArguments.empty());
}

TEST(WindowsCommandLine, ShellAndCreateProcessFormsTokenizeAlike) {
    const auto shell = BuildWindowsCommandLine({"--PRG_ID=p1", "--PRG_ARGS=/a \"b\"", "--X="});
    const auto quoted =
        BuildWindowsCommandLine({"--PRG_ID=\"p1\"", "--PRG_ARGS=\"/a \"b\"\"", "--X=\"\""});
    EXPECT_EQ(shell.text, quoted.text);
    const ItemMap items = GL_STRING_ParseCommandLineArgs1(shell.text);
    EXPECT_EQ(items, (ItemMap{{L"PRG_ID", L"p1"}, {L"PRG_ARGS", L"/a \"b\""}, {L"X", L""}}));
}

TEST(WindowsCommandLine, Utf8ArgumentsConvertExactly) {
    const auto rebuilt = BuildWindowsCommandLine({"--PRG_ID=프로그램", "--A=\xF0\x9F\x98\x80"});
    EXPECT_EQ(rebuilt.text, L"--PRG_ID=\"프로그램\" --A=\"\U0001F600\"");
    EXPECT_TRUE(rebuilt.lossyArguments.empty());
}

TEST(WindowsCommandLine, InvalidUtf8IsReplacedAndReported) {
    const auto rebuilt = BuildWindowsCommandLine({"--CMD=run", "--PRG_ID=p\xFF" "1", "x\xC3"});
    EXPECT_EQ(rebuilt.text, L"--CMD=\"run\" --PRG_ID=\"p\uFFFD1\" x\uFFFD");
    EXPECT_EQ(rebuilt.lossyArguments, (std::vector<size_t>{2, 3}));
}

}  // namespace
