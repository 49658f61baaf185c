#include "tools/zeb-update-server/Envelope.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <chrono>
#include <cstdio>

namespace {

void WriteString(rapidjson::Writer<rapidjson::StringBuffer>& writer, const std::string& text) {
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
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
