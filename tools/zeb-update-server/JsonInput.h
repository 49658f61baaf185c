#pragma once
// Reading the JSON the server is given (requests, release files): UTF-8 checked, nesting
// bounded, and a failure told in words for the reply or the log.
#include <rapidjson/document.h>

#include <string>
#include <string_view>

// Parses text into document; on failure the document keeps its old value.
rapidjson::ParseResult ParseJsonInput(rapidjson::Document& document, std::string_view text);

// What is wrong with a text that did not parse, e.g. "Invalid value. at offset 3".
std::string DescribeParseFailure(const rapidjson::ParseResult& result);
