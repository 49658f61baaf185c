#pragma once
// JSON parsing with a bound on nesting, for every text the launcher, its tools and its
// stand-ins read. The parser runs iteratively, and a document nested deeper than
// kJsonDepthLimit arrays and objects is refused like text that is not JSON: its writers,
// copies and comparisons recurse once per level, so an unbounded depth from a file or a
// server would exhaust the stack later. Header-only on RapidJSON, so every layer can use it.
#include <rapidjson/document.h>
#include <rapidjson/encodedstream.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <cstddef>
#include <cstdint>

inline constexpr unsigned kJsonDepthLimit = 512;

namespace json_depth_detail {

// Hands every parse event on to the document, refusing the level past the limit.
template <typename Document>
class DepthLimitedHandler {
public:
    using Ch = typename Document::Ch;
    using SizeType = rapidjson::SizeType;

    explicit DepthLimitedHandler(Document& document) : document_(document) {}

    bool Null() { return document_.Null(); }
    bool Bool(bool b) { return document_.Bool(b); }
    bool Int(int i) { return document_.Int(i); }
    bool Uint(unsigned u) { return document_.Uint(u); }
    bool Int64(int64_t i) { return document_.Int64(i); }
    bool Uint64(uint64_t u) { return document_.Uint64(u); }
    bool Double(double d) { return document_.Double(d); }
    bool RawNumber(const Ch* text, SizeType length, bool copy) {
        return document_.RawNumber(text, length, copy);
    }
    bool String(const Ch* text, SizeType length, bool copy) {
        return document_.String(text, length, copy);
    }
    bool Key(const Ch* text, SizeType length, bool copy) {
        return document_.Key(text, length, copy);
    }
    bool StartObject() { return Enter() && document_.StartObject(); }
    bool EndObject(SizeType members) {
        --depth_;
        return document_.EndObject(members);
    }
    bool StartArray() { return Enter() && document_.StartArray(); }
    bool EndArray(SizeType elements) {
        --depth_;
        return document_.EndArray(elements);
    }

private:
    bool Enter() { return ++depth_ <= kJsonDepthLimit; }

    Document& document_;
    unsigned depth_ = 0;
};

}  // namespace json_depth_detail

// Parses one JSON text from stream, read as SourceEncoding, with the reader flags Flags. On
// success the document holds the value; on failure it keeps its old one. A document nested
// too deeply fails with kParseErrorTermination.
template <unsigned Flags, typename SourceEncoding, typename Document, typename InputStream>
rapidjson::ParseResult ParseJsonWithinDepthLimit(Document& document, InputStream& stream) {
    rapidjson::GenericReader<SourceEncoding, typename Document::EncodingType> reader;
    rapidjson::ParseResult result;
    auto generate = [&](Document& target) {
        json_depth_detail::DepthLimitedHandler<Document> handler(target);
        result = reader.template Parse<Flags | rapidjson::kParseIterativeFlag>(stream, handler);
        return !result.IsError();
    };
    document.Populate(generate);
    return result;
}

// The same for UTF-8 bytes (no terminator needed) into a UTF-8 document.
template <unsigned Flags>
rapidjson::ParseResult ParseUtf8JsonWithinDepthLimit(rapidjson::Document& document,
                                                     const char* bytes, size_t size) {
    rapidjson::MemoryStream memory(bytes, size);
    rapidjson::EncodedInputStream<rapidjson::UTF8<>, rapidjson::MemoryStream> input(memory);
    return ParseJsonWithinDepthLimit<Flags, rapidjson::UTF8<>>(document, input);
}
