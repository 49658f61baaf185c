// The bound on nesting that every JSON text the launcher reads is held to: documents up to
// the bound parse and write back, deeper ones are refused like text that is not JSON, and
// no depth a file or a server can send ends the process.
#include <gtest/gtest.h>

#include <string>

#include "common/JsonTypes.h"
#include "server/JsonText.h"

namespace {

constexpr int kLimit = 512;

std::wstring Repeat(const std::wstring& piece, int times) {
    std::wstring out;
    out.reserve(piece.size() * static_cast<size_t>(times));
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

// depth levels alternating object and array around a number, written compactly.
std::wstring Nested(int depth) {
    std::wstring open, close;
    for (int i = 0; i < depth; ++i) {
        open += i % 2 == 0 ? L"{\"k\":" : L"[";
        close = (i % 2 == 0 ? L"}" : L"]") + close;
    }
    return open + L"7" + close;
}

TEST(JsonNesting, UpToTheLimitParsesAndWritesBackUnchanged) {
    for (const std::wstring& text : {Nested(kLimit), Repeat(L"[", kLimit) + Repeat(L"]", kLimit),
                                     Repeat(L"{\"a\":", kLimit - 1) + L"{}" + Repeat(L"}", kLimit - 1)}) {
        JsonDocument document;
        ASSERT_TRUE(ParseJsonText(text, document)) << text.substr(0, 20);
        EXPECT_EQ(ToCompactJsonText(document), text);
    }
}

TEST(JsonNesting, OneLevelMoreIsNotJsonAndLeavesTheDocumentAlone) {
    for (const std::wstring& text : {Nested(kLimit + 1), Repeat(L"[", kLimit + 1) + Repeat(L"]", kLimit + 1)}) {
        JsonDocument document;
        document.Parse(L"{\"before\":1}");
        EXPECT_FALSE(ParseJsonText(text, document));
        ASSERT_TRUE(document.IsObject());
        EXPECT_TRUE(document.HasMember(L"before"));
    }
}

TEST(JsonNesting, DepthIsCountedPerOpenLevelNotPerContainer) {
    // Thousands of containers, none deeper than the limit.
    const std::wstring siblings = Repeat(L"[1],{\"x\":[]},", 2000) + L"0";
    const std::wstring text = Repeat(L"[", kLimit - 2) + siblings + Repeat(L"]", kLimit - 2);
    JsonDocument document;
    ASSERT_TRUE(ParseJsonText(text, document));
    EXPECT_EQ(ToCompactJsonText(document), text);
}

TEST(JsonNesting, AMillionLevelsAreRefusedWithoutEndingTheProcess) {
    const int million = 1000000;
    for (const std::wstring& text : {Repeat(L"[", million), Repeat(L"[", million) + Repeat(L"]", million),
                                     L"{\"DATA\":[\"\"]," + Repeat(L"{\"a\":", million)}) {
        JsonDocument document;
        EXPECT_FALSE(ParseJsonText(text, document));
    }
}

}  // namespace
