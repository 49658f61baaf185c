#include "server/UpdateExchange.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include "common/GL_Debug.h"
#include "common/os/os.h"
#include "server/GL_Internet.h"
#include "server/JsonText.h"
#include "server/ST_PACKET.h"

// The exchange reads in the log as part of the flow that runs it.
#define GL_LOG_FLOW(level, status, ...) \
    GL_LOG_FN(L"CheckUpdateAndLaunchProgram", (level), 0, (status), __VA_ARGS__)

std::wstring BuildUpdateRequestBody(const UpdateQuery& query) {
    using Utf8Buffer = rapidjson::GenericStringBuffer<rapidjson::UTF8<>>;
    using Writer = rapidjson::PrettyWriter<Utf8Buffer, JsonEncoding, rapidjson::UTF8<>>;
    const std::pair<const wchar_t*, const std::wstring*> members[] = {
        {L"COMP_ID", &query.compId},
        {L"COMP_PASS", &query.compPass},
        {L"CUST_ID", &query.custId},
        {L"PC_GUID", &query.pcGuid},
        {L"LAUNCHER_OLD_VER", &query.launcherOldVer},
        {L"PRG_OLD_VER", &query.prgOldVer},
        {L"PRG_INST_OLD_VER", &query.prgInstOldVer},
        {L"PRG_ID", &query.prgId},
        {L"PRG_ARGS", &query.prgArgs},
        {L"LAUNCH_ARGS", &query.launchArgs},
    };

    // The writer cannot encode a value beyond the last code point (only a 32-bit wchar_t
    // holds one); such a body is as unencodable as one that fails the strict decoding below.
    const auto beyondLastCodePoint = [](uint32_t c) { return c > 0x10FFFF; };
    for (const auto& member : members)
        for (const wchar_t c : *member.second)
            if (beyondLastCodePoint(static_cast<uint32_t>(c))) return std::wstring();

    Utf8Buffer buffer;
    Writer writer(buffer);
    writer.SetIndent(' ', 4);
    bool ok = writer.StartObject();
    for (const auto& [key, value] : members) {
        ok = ok && writer.Key(key);
        ok = ok && writer.String(value->c_str(), static_cast<rapidjson::SizeType>(value->size()));
    }
    ok = ok && writer.EndObject();

    std::wstring body;
    if (!ok || !os::Utf8ToWide(std::string(buffer.GetString(), buffer.GetSize()), body))
        body.clear();
    return body;
}

int QueryUpdateInfo(const UpdateQuery& query, std::wstring& serverDataText,
                    JsonDocument& serverDocument) {
    const std::wstring body = BuildUpdateRequestBody(query);
    const std::wstring url = query.serverUrl + L"?cmd=zeb.launcher";
    GL_LOG_FLOW('D', 0, L"서버에서 업데이트 설정정보 읽기: %s", url);

    std::wstring response;
    for (int retry = 0; !GL_INTERNET_HTTPSendRequestByCurl(url, body, response);) {
        if (retry == 3)
            return GL_LOG_FLOW('E', 30, L"서버의 업데이트 정보 확인 실패(3초마다 3번 재시도): %s",
                               url);
        ++retry;
        GL_LOG_FLOW('E', 30, L"서버의 업데이트 정보 확인 실패(%d회 재시도 중): %s", retry, url);
        os::SleepMs(kUpdateQueryRetryPauseMs);
    }

    ST_PACKET packet;
    if (packet.Parse(response, true) != 0)
        return GL_LOG_FLOW('E', 40, L"서버의 업데이트 정보 파싱 실패\r\n%s", response);
    if (packet.RESULT != L"OK")
        return GL_LOG_FLOW('E', 45, L"서버에서 업데이트 오류정보 수신: %s", response);
    if (packet.DATA.empty())
        return GL_LOG_FLOW('E', 47, L"서버 응답에 업데이트 정보(DATA)가 없음\r\n%s", response);

    serverDataText = packet.DATA.front();
    if (!ParseJsonText(serverDataText, serverDocument))
        return GL_LOG_FLOW('E', 47, L"json 파싱 오류\r\n%s", serverDataText);
    return 0;
}
