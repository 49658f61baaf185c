#include "tools/zeb-update-server/JsonInput.h"

#include <rapidjson/error/en.h>

#include "common/JsonDepth.h"

rapidjson::ParseResult ParseJsonInput(rapidjson::Document& document, std::string_view text) {
    return ParseUtf8JsonWithinDepthLimit<rapidjson::kParseValidateEncodingFlag>(
        document, text.data(), text.size());
}

std::string DescribeParseFailure(const rapidjson::ParseResult& result) {
    // The depth limit is the only reason the reader is told to stop.
    const std::string what =
        result.Code() == rapidjson::kParseErrorTermination
            ? "nested deeper than " + std::to_string(kJsonDepthLimit) + " levels"
            : std::string(rapidjson::GetParseError_En(result.Code()));
    return what + " at offset " + std::to_string(result.Offset());
}
