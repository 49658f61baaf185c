#include "tests/support/ClientInfoText.h"

bool IsPcGuid(const std::string& text) {
    static const char kShape[] = "xxxxxxxx-xxxx-4xxx-vxxx-xxxxxxxxxxxx";
    if (text.size() != sizeof kShape - 1) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
        switch (kShape[i]) {
            case 'x': if (!hex) return false; break;
            case 'v': if (c != '8' && c != '9' && c != 'a' && c != 'b') return false; break;
            default: if (c != kShape[i]) return false;
        }
    }
    return true;
}

bool ParseClientInfo(const std::string& bytes, std::string& pcGuid, std::string& launcherPath) {
    static const std::string kHead = "\xEF\xBB\xBF{\n    \"PC_GUID\": \"";
    static const std::string kMiddle = "\",\n    \"PATH_LAUNCHER\": \"";
    static const std::string kTail = "\"\n}";
    if (bytes.compare(0, kHead.size(), kHead) != 0) return false;
    const size_t middle = bytes.find(kMiddle, kHead.size());
    if (middle == std::string::npos || bytes.size() < middle + kMiddle.size() + kTail.size() ||
        bytes.compare(bytes.size() - kTail.size(), kTail.size(), kTail) != 0)
        return false;
    pcGuid = bytes.substr(kHead.size(), middle - kHead.size());
    const size_t pathStart = middle + kMiddle.size();
    launcherPath = bytes.substr(pathStart, bytes.size() - kTail.size() - pathStart);
    return true;
}
