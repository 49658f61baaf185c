// The update server's response envelope, and the request body the launcher sends it.
#include <gtest/gtest.h>

#include <string>

#include "common/os/os.h"
#include "server/ST_PACKET.h"
#include "server/UpdateExchange.h"
#include "tests/support/TestLog.h"

namespace {

TEST(StPacketParse, FillsEveryFieldButTitle) {
    ST_PACKET packet;
    const std::wstring text =
        L" {\"RESULT\":\"OK\",\"TITLE\":\"t\",\"MESSAGE\":\"m\",\"MESSAGE_DEBUG\":\"d\","
        L"\"DATA\":[\"one\",\"two\",\"셋\"],\"TIME_STAMP\":\"ts\"}\n";
    ASSERT_EQ(packet.Parse(text, true), 0);
    EXPECT_EQ(packet.RESULT, L"OK");
    EXPECT_EQ(packet.TITLE, L"");
    EXPECT_EQ(packet.MESSAGE, L"m");
    EXPECT_EQ(packet.MESSAGE_DEBUG, L"d");
    EXPECT_EQ(packet.DATA, (std::vector<std::wstring>{L"one", L"two", L"셋"}));
    EXPECT_EQ(packet.TIME_STAMP, L"ts");
    EXPECT_EQ(packet.packetText, text);
}

TEST(StPacketParse, WithoutKeepDataOneStandInForAnyNonEmptyList) {
    ST_PACKET packet;
    ASSERT_EQ(packet.Parse(L"{\"DATA\":[\"a\",\"b\",\"c\"]}", false), 0);
    EXPECT_EQ(packet.DATA, std::vector<std::wstring>{L"do not use this data."});

    for (const bool keep : {true, false}) {
        for (const wchar_t* data : {L"[]", L"null", L"\"a\"", L"{}"}) {
            ST_PACKET other;
            ASSERT_EQ(other.Parse(std::wstring(L"{\"DATA\":") + data + L"}", keep), 0);
            EXPECT_TRUE(other.DATA.empty()) << data;
        }
    }
}

TEST(StPacketParse, NotJsonFailsWithFiveAndKeepsOnlyTheText) {
    for (const std::wstring& text :
         {std::wstring(L"<html>404</html>"), std::wstring(L"{\"RESULT\":\"OK\"} x"),
          std::wstring(L"{\"RESULT\":\"OK\"}\0{", 17), std::wstring(), std::wstring(L"{\"RESULT\":\"OK\",}")}) {
        TestLog log;
        ST_PACKET packet;
        packet.RESULT = L"before";
        EXPECT_EQ(packet.Parse(text, true), 5);
        EXPECT_EQ(packet.packetText, text);
        EXPECT_EQ(packet.RESULT, L"before");
        std::string narrow;
        os::WideToUtf8(text, narrow);
        const std::vector<std::string> lines = log.Lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(":ST_PACKET::Parse:"), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find("[ENU:5]json 파싱 오류\r\n" + narrow.substr(0, narrow.find('\0'))),
                  std::string::npos)
            << lines[0];
    }
}

TEST(StPacketParse, NullResultStopsBeforeLaterMembers) {
    TestLog log;
    ST_PACKET packet;
    EXPECT_EQ(packet.Parse(L"{\"MESSAGE\":\"early\",\"RESULT\":null,\"DATA\":[\"x\"]}", true), 10);
    EXPECT_TRUE(packet.MESSAGE.empty());
    EXPECT_TRUE(packet.DATA.empty());
    EXPECT_NE(log.Text().find("[ENU:10]RESULT 항목 누락"), std::string::npos);
}

TEST(StPacketParse, AbsentResultKeepsItsValueAndParsingGoesOn) {
    ST_PACKET packet;
    packet.RESULT = L"kept";
    ASSERT_EQ(packet.Parse(L"{\"MESSAGE\":\"m\"}", true), 0);
    EXPECT_EQ(packet.RESULT, L"kept");
    EXPECT_EQ(packet.MESSAGE, L"m");
}

TEST(StPacketParse, FirstOfTwoEqualNamesCounts) {
    ST_PACKET packet;
    ASSERT_EQ(packet.Parse(L"{\"RESULT\":\"ERROR\",\"RESULT\":\"OK\"}", true), 0);
    EXPECT_EQ(packet.RESULT, L"ERROR");
}

TEST(StPacketParse, WrongTypesCountAsAbsentAndKeepDataPositions) {
    ST_PACKET packet;
    ASSERT_EQ(packet.Parse(L"{\"RESULT\":1,\"MESSAGE\":[\"m\"],\"MESSAGE_DEBUG\":{},"
                           L"\"DATA\":[7,\"second\",null],\"TIME_STAMP\":false}",
                           true),
              0);
    EXPECT_EQ(packet.RESULT, L"");
    EXPECT_EQ(packet.MESSAGE, L"");
    EXPECT_EQ(packet.MESSAGE_DEBUG, L"");
    EXPECT_EQ(packet.TIME_STAMP, L"");
    // A first element that is no string must not let the second pass for it.
    EXPECT_EQ(packet.DATA, (std::vector<std::wstring>{L"", L"second", L""}));
}

TEST(StPacketParse, TopLevelValueOtherThanAnObjectHoldsNothing) {
    for (const wchar_t* text : {L"[\"OK\"]", L"\"OK\"", L"42", L"null"}) {
        ST_PACKET packet;
        EXPECT_EQ(packet.Parse(text, true), 0) << text;
        EXPECT_TRUE(packet.RESULT.empty());
        EXPECT_TRUE(packet.DATA.empty());
    }
}

TEST(StPacketParse, NestingBeyondTheLimitIsNotJson) {
    const std::wstring million(1000000, L'[');
    const std::wstring deepMember = L"{\"RESULT\":\"OK\",\"DATA\":[\"{}\"],\"X\":" +
                                    std::wstring(513, L'[') + std::wstring(513, L']') + L"}";
    for (const std::wstring& text : {million, deepMember}) {
        TestLog log;
        ST_PACKET packet;
        EXPECT_EQ(packet.Parse(text, true), 5);
        EXPECT_TRUE(packet.RESULT.empty());
        EXPECT_TRUE(packet.DATA.empty());
        EXPECT_EQ(packet.packetText.size(), text.size());
        EXPECT_EQ(log.Matching("[ENU:5]json 파싱 오류\r\n").size(), 1u);
    }
}

TEST(UpdateRequestBody, ControlCharactersAreEscapedAsJson) {
    UpdateQuery query;
    query.compId = std::wstring(L"\b\f\r\n\x01\x1f/", 7);
    const std::wstring body = BuildUpdateRequestBody(query);
    EXPECT_NE(body.find(L"\"COMP_ID\": \"\\b\\f\\r\\n\\u0001\\u001F/\""), std::wstring::npos) << body.size();
}

TEST(UpdateRequestBody, UnencodableTextGivesAnEmptyBody) {
    UpdateQuery query;
    query.prgArgs = std::wstring(1, static_cast<wchar_t>(0xD800));  // lone surrogate
    EXPECT_EQ(BuildUpdateRequestBody(query), L"");
    if (sizeof(wchar_t) == 4) {  // only 32-bit wide characters reach beyond Unicode
        query.prgArgs = std::wstring(1, static_cast<wchar_t>(0x110000));
        EXPECT_EQ(BuildUpdateRequestBody(query), L"");
    }
}

}  // namespace
