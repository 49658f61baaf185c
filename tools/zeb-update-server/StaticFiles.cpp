#include "tools/zeb-update-server/StaticFiles.h"

#include <httplib.h>

#include <fstream>
#include <memory>
#include <vector>

#include "tools/zeb-update-server/ReleaseStore.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kChunkSize = 64 * 1024;

// The relative path built from the request path's parts; false when a part is unsafe.
bool RelativePathOf(std::string_view urlPath, fs::path& relative) {
    if (urlPath.find('\0') != std::string_view::npos ||
        urlPath.find('\\') != std::string_view::npos)
        return false;
    while (!urlPath.empty()) {
        auto slash = urlPath.find('/');
        std::string_view part = urlPath.substr(0, slash);
        urlPath = slash == std::string_view::npos ? std::string_view() : urlPath.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") return false;
        relative /= std::string(part);
    }
    return true;
}

// Whether a relative path lies inside the hidden releases folder.
bool IsHidden(const fs::path& relative) {
    return !relative.empty() && *relative.begin() == kReleasesFolderName;
}

}  // namespace

ServedFile ResolveServedFile(const fs::path& root, std::string_view urlPath) {
    ServedFile file;
    fs::path relative;
    if (!RelativePathOf(urlPath, relative)) {
        file.state = FileLookup::kRefused;
        return file;
    }
    if (relative.empty() || IsHidden(relative)) return file;

    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(root / relative, ec);
    if (ec) return file;
    const fs::path inside = resolved.lexically_relative(root);
    if (inside.empty() || *inside.begin() == "..") {
        file.state = FileLookup::kRefused;
        return file;
    }
    if (IsHidden(inside) || !fs::is_regular_file(resolved, ec)) return file;
    const auto size = fs::file_size(resolved, ec);
    if (ec) return file;
    file.state = FileLookup::kFound;
    file.path = resolved;
    file.size = size;
    return file;
}

void StreamFile(const ServedFile& file, httplib::Response& response) {
    auto in = std::make_shared<std::ifstream>(file.path, std::ios::binary);
    if (!*in) {
        response.status = 404;
        return;
    }
    response.status = 200;
    response.set_content_provider(
        static_cast<size_t>(file.size), "application/octet-stream",
        [in](size_t offset, size_t length, httplib::DataSink& sink) {
            std::vector<char> buffer(std::min(length, kChunkSize));
            in->clear();
            in->seekg(static_cast<std::streamoff>(offset));
            in->read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const auto got = in->gcount();
            // A file cut short while being sent ends the connection rather than padding it.
            if (got <= 0) return false;
            return sink.write(buffer.data(), static_cast<size_t>(got));
        });
}
