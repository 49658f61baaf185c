// Fuzz target: the update server's mapping of a request path to a file below its release
// folder. The folder holds update files, a hidden release description, a symbolic link to a
// folder inside and one to a folder outside with a secret file. The input is the decoded
// request path. Properties:
//   - a file is served only when it is one of the update files (also through the inner
//     link), never the release description or anything outside;
//   - a served file's size is its size;
//   - a path made of an update file's parts (with empty and "." parts between) serves it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/fuzz/FuzzSupport.h"
#include "tools/zeb-update-server/StaticFiles.h"

namespace fs = std::filesystem;

namespace {

struct Folder {
    fs::path root;
    std::vector<fs::path> servable;  // canonical
};

void Put(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

const Folder& ReleaseFolder() {
    static const Folder folder = [] {
        const fs::path base = fuzz::ScratchFolder();
        Put(base / "outside" / "secret.txt", "not served");
        const fs::path root = base / "root";
        Put(root / "zeb-mh" / "Tools" / "7z" / "7za.exe", "tool");
        Put(root / "files" / "viewer" / "Viewer.7z", "package");
        Put(root / "releases" / "viewer.json", "{}");
        fs::create_directory_symlink(root / "files", root / "inner");
        fs::create_directory_symlink(base / "outside", root / "outer");
        Folder made{fs::canonical(root), {}};
        for (const char* file : {"zeb-mh/Tools/7z/7za.exe", "files/viewer/Viewer.7z"})
            made.servable.push_back(fs::canonical(root / file));
        return made;
    }();
    return folder;
}

// The parts of a path that name something: not empty, not ".".
std::vector<std::string_view> NamingParts(std::string_view path) {
    std::vector<std::string_view> parts;
    while (true) {
        const size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty() && part != ".") parts.push_back(part);
        if (slash == std::string_view::npos) return parts;
        path.remove_prefix(slash + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Folder& folder = ReleaseFolder();
    const std::string_view path(reinterpret_cast<const char*>(data), size);

    const ServedFile file = ResolveServedFile(folder.root, path);
    if (file.state == FileLookup::kFound) {
        bool servable = false;
        for (const fs::path& candidate : folder.servable) servable = servable || candidate == file.path;
        FUZZ_CHECK(servable);
        FUZZ_CHECK(file.size == fs::file_size(file.path));
    }

    const std::vector<std::string_view> parts = NamingParts(path);
    const bool named = path.find('\0') == std::string_view::npos &&
                       path.find('\\') == std::string_view::npos;
    for (const char* servable : {"zeb-mh/Tools/7z/7za.exe", "files/viewer/Viewer.7z",
                                 "inner/viewer/Viewer.7z"})
        if (named && parts == NamingParts(servable)) FUZZ_CHECK(file.state == FileLookup::kFound);
    return 0;
}
