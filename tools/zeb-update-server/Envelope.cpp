#include "tools/zeb-update-server/Envelope.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <chrono>
#include <cstdio>

namespace {

// Length of the well-formed UTF-8 sequence at text[i], 0 when there is none (stray or
// overlong bytes, surrogates, code points past U+10FFFF, a sequence cut short).
size_t Utf8SequenceAt(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - i < length || byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return length;
}

// The reply is labelled UTF-8, and some of its texts come from the request (the command, a
// program identifier whose JSON escapes named a lone surrogate): every byte that is not part
// of a well-formed sequence becomes U+FFFD.
std::string WellFormedUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceAt(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    return out;
}

void WriteString(rapidjson::Writer<rapidjson::StringBuffer>& writer, const std::string& text) {
    const std::string checked = WellFormedUtf8(text);
    writer.String(checked.data(), static_cast<rapidjson::SizeType>(checked.size()));
}

}  // namespace

std::string SerializeEnvelope(const Envelope& envelope, const std::string& timeStamp) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartObject();
    writer.Key("RESULT");
    WriteString(writer, envelope.result);
    writer.Key("TITLE");
    WriteString(writer, envelope.title);
    writer.Key("MESSAGE");
    WriteString(writer, envelope.message);
    writer.Key("MESSAGE_DEBUG");
    WriteString(writer, envelope.messageDebug);
    writer.Key("DATA");
    writer.StartArray();
    for (const auto& item : envelope.data) WriteString(writer, item);
    writer.EndArray();
    writer.Key("TIME_STAMP");
    WriteString(writer, timeStamp);
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

std::string CurrentTimeStamp() {
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date(day);
    const hh_mm_ss<seconds> time(now - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02ldZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<long>(time.hours().count()),
                  static_cast<long>(time.minutes().count()),
                  static_cast<long>(time.seconds().count()));
    return text;
}
