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

// Whether the library answers these ranges correctly: it neither clamps a range to the file
// nor gets several ranges right, so only one range within the file qualifies.
bool RangesServable(const httplib::Ranges& ranges, std::uintmax_t size) {
    if (ranges.size() != 1) return false;
    const auto [first, last] = ranges.front();
    if (first < 0) return last > 0 && static_cast<std::uintmax_t>(last) <= size;  // suffix
    if (static_cast<std::uintmax_t>(first) >= size) return false;
    return last < 0 || static_cast<std::uintmax_t>(last) < size;
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

void StreamFile(const ServedFile& file, const httplib::Request& request,
                httplib::Response& response) {
    // One open file and one buffer per response, reused for every piece.
    struct Source {
        std::ifstream in;
        std::vector<char> buffer = std::vector<char>(kChunkSize);

        // Up to length bytes from offset into buffer; 0 at the end or on a read failure.
        size_t Read(size_t offset, size_t length) {
            in.clear();
            in.seekg(static_cast<std::streamoff>(offset));
            in.read(buffer.data(), static_cast<std::streamsize>(std::min(length, buffer.size())));
            return in.gcount() > 0 ? static_cast<size_t>(in.gcount()) : 0;
        }
    };
    auto source = std::make_shared<Source>();
    source->in.open(file.path, std::ios::binary);
    if (!source->in) {
        response.status = 404;
        return;
    }
    constexpr const char* kType = "application/octet-stream";
    if (request.ranges.empty() || RangesServable(request.ranges, file.size)) {
        // The status is left to the library: 200, or 206 for the range.
        response.set_content_provider(
            static_cast<size_t>(file.size), kType,
            [source](size_t offset, size_t length, httplib::DataSink& sink) {
                const size_t got = source->Read(offset, length);
                // A file cut short while being sent ends the connection rather than padding it.
                return got > 0 && sink.write(source->buffer.data(), got);
            });
        return;
    }
    // The library applies no ranges to a chunked reply, so the whole file goes out.
    response.status = 200;
    response.set_chunked_content_provider(
        kType, [source, size = file.size](size_t offset, httplib::DataSink& sink) {
            if (offset >= size) {
                sink.done();
                return true;
            }
            const size_t got = source->Read(offset, static_cast<size_t>(size - offset));
            return got > 0 && sink.write(source->buffer.data(), got);
        });
}
