// zeb-release: makes, signs and publishes releases for ZEB.Launcher, away from the servers.
#include <iostream>
#include <span>
#include <string_view>

#include "tools/zeb-release/Commands.h"

namespace {

constexpr const char* kUsage =
    "usage: zeb-release COMMAND [--OPTION VALUE ...]\n"
    "  keygen   --private FILE --public FILE\n"
    "           a P-256 key pair: the private key (PEM, mode 0600) stays with the publisher,\n"
    "           the public key file goes into the launcher's build (ZEB_RELEASE_PUBLIC_KEYS);\n"
    "           prints the key id\n"
    "  pack     --prg-id ID --program-folder DIR --short-name NAME --version V\n"
    "           --install-folder TEXT --run-exe NAME --server-url URL --launcher-version V\n"
    "           --stage DIR [--root-dir-svr PATH/] [--launcher-exe FILE] [--tool-7z FILE]\n"
    "           [--min-spec FILE] [--7zz PROGRAM]\n"
    "           packs the program folder as 7z and stages it, with the launcher and the\n"
    "           7-Zip tool when given, like an update server folder; writes\n"
    "           releases/ID.json with every size and SHA-256\n"
    "  sign     --key FILE --release STAGE/releases/ID.json\n"
    "           signs the release for the program ID with the private key\n"
    "  publish  --stage DIR --folder DIR [--unsigned] [--replace]\n"
    "           copies the staged files into the update server folder, then the releases,\n"
    "           each by an atomic rename\n";

}  // namespace

int main(int argc, char** argv) {
    const std::span<const char* const> args(argv, static_cast<size_t>(argc));
    if (args.size() < 2) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string_view command = args[1];
    const auto items = args.subspan(2);
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "keygen") return RunKeygen(items);
    if (command == "pack") return RunPack(items);
    if (command == "sign") return RunSign(items);
    if (command == "publish") return RunPublish(items);
    std::cerr << "zeb-release: unknown command " << command << "\n" << kUsage;
    return 2;
}
