#pragma once
// Signed releases for the tests, made once with openssl (ecparam -genkey, dgst -sha256 -sign,
// r and s read from the DER form). The old key signs the releases, the new one is the key
// rotated in, the third one is no key of any build. The private keys were not kept.
#include <string>
#include <string_view>

namespace vectors {

inline constexpr std::string_view kOldKey =
    "04f035e2e28f7812693e9b9882f46c2781c72c80aebaa3a08602ad75490763745fedc55f12644727e527e05f038869ca5a01933be472d94bb2c0a895c574d68798";
inline constexpr std::string_view kOldKeyId = "6ab927e8fff95bd2";
inline constexpr std::string_view kNewKey =
    "046676ccc80a99ece4eff0e898599d050203771ba8fe4cf3d1c1500d07278683e241824739346d774424e80695feb47ba1a6c831b460db10932a6f8a3e8af441f5";
inline constexpr std::string_view kNewKeyId = "ea685840b84ad6ed";
inline constexpr std::string_view kThirdKeyId = "a4144bb024994779";

// A release of the program "viewer": one package with its hash, a minimum specification
// naming an installer and its hash, the 7-Zip tool's hash, text beyond 16 bits, and launcher
// information without files.
inline constexpr std::string_view kRelease = R"json({"PRG_ID":"viewer","UPDATE_PRG_INFO":{"INSTALL_GB":"ZIP","SHORT_NM":"Viewer","UP_VERSION":"2.0.13","ROOT_DIR_CLI_INST":"%ProgramData%Vantrel/Apps/뷰어/","RUN_EXE_NAME":"뷰어😀.exe","CFG_FROM_SVR":"","SVR_URL":"https://files.example.com/","ROOT_DIR_SVR":"files/Viewer/","MIN_SPEC":"{\"WIN_VER\":\"7\",\"DOTNET_FX\":{\"ENABLED\":\"true\",\"VER\":\"4.8\",\"URL\":\"https://download.example.com/ndp48.exe\",\"SHA256\":\"9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f\"}}","TOOL_7Z_SHA256":"7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a","FILES":[{"FILE_NM":"Viewer.7z","SUB_DIR_SVR":"2.0.13/","SUB_DIR_CLI":"","FILE_VERSION":"2.0.13","FILE_SIZE":1234,"FILE_SIZE_7Z":1234,"TYPE_GB":"Z","FILE_SHA256":"c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0"}]},"UPDATE_LAUNCHER_INFO":{"INSTALL_GB":"LAUNCHER","SHORT_NM":"ZebLauncher","UP_VERSION":"1.0.0.0","ROOT_DIR_CLI_INST":"","RUN_EXE_NAME":"ZEB.Launcher.exe","CFG_FROM_SVR":"","SVR_URL":"https://files.example.com/","ROOT_DIR_SVR":"files/ZebLauncher/","FILES":[]}})json";

// Not a whole release: the launcher's object is missing.
inline constexpr std::string_view kReleaseWithoutLauncher = R"json({"PRG_ID":"viewer","UPDATE_PRG_INFO":{"INSTALL_GB":"ZIP","SHORT_NM":"Viewer","UP_VERSION":"2.0.13","ROOT_DIR_CLI_INST":"%ProgramData%Vantrel/Apps/뷰어/","RUN_EXE_NAME":"뷰어😀.exe","CFG_FROM_SVR":"","SVR_URL":"https://files.example.com/","ROOT_DIR_SVR":"files/Viewer/","MIN_SPEC":"{\"WIN_VER\":\"7\",\"DOTNET_FX\":{\"ENABLED\":\"true\",\"VER\":\"4.8\",\"URL\":\"https://download.example.com/ndp48.exe\",\"SHA256\":\"9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f\"}}","TOOL_7Z_SHA256":"7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a","FILES":[{"FILE_NM":"Viewer.7z","SUB_DIR_SVR":"2.0.13/","SUB_DIR_CLI":"","FILE_VERSION":"2.0.13","FILE_SIZE":1234,"FILE_SIZE_7Z":1234,"TYPE_GB":"Z","FILE_SHA256":"c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0"}]}})json";

// UP_VERSION twice in the program's object.
inline constexpr std::string_view kReleaseWithRepeatedName = R"json({"PRG_ID":"viewer","UPDATE_PRG_INFO":{"INSTALL_GB":"ZIP","SHORT_NM":"Viewer","UP_VERSION":"2.0.13","UP_VERSION":"9.9.9","ROOT_DIR_CLI_INST":"%ProgramData%Vantrel/Apps/뷰어/","RUN_EXE_NAME":"뷰어😀.exe","CFG_FROM_SVR":"","SVR_URL":"https://files.example.com/","ROOT_DIR_SVR":"files/Viewer/","MIN_SPEC":"{\"WIN_VER\":\"7\",\"DOTNET_FX\":{\"ENABLED\":\"true\",\"VER\":\"4.8\",\"URL\":\"https://download.example.com/ndp48.exe\",\"SHA256\":\"9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f\"}}","TOOL_7Z_SHA256":"7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a","FILES":[{"FILE_NM":"Viewer.7z","SUB_DIR_SVR":"2.0.13/","SUB_DIR_CLI":"","FILE_VERSION":"2.0.13","FILE_SIZE":1234,"FILE_SIZE_7Z":1234,"TYPE_GB":"Z","FILE_SHA256":"c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0"}]},"UPDATE_LAUNCHER_INFO":{"INSTALL_GB":"LAUNCHER","SHORT_NM":"ZebLauncher","UP_VERSION":"1.0.0.0","ROOT_DIR_CLI_INST":"","RUN_EXE_NAME":"ZEB.Launcher.exe","CFG_FROM_SVR":"","SVR_URL":"https://files.example.com/","ROOT_DIR_SVR":"files/ZebLauncher/","FILES":[]}})json";

// A member nested twenty arrays deep.
inline constexpr std::string_view kReleaseNestedTooDeep = R"json({"PRG_ID":"viewer","UPDATE_PRG_INFO":{"INSTALL_GB":"ZIP","SHORT_NM":"Viewer","UP_VERSION":"2.0.13","ROOT_DIR_CLI_INST":"%ProgramData%Vantrel/Apps/뷰어/","RUN_EXE_NAME":"뷰어😀.exe","CFG_FROM_SVR":[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]],"SVR_URL":"https://files.example.com/","ROOT_DIR_SVR":"files/Viewer/","MIN_SPEC":"{\"WIN_VER\":\"7\",\"DOTNET_FX\":{\"ENABLED\":\"true\",\"VER\":\"4.8\",\"URL\":\"https://download.example.com/ndp48.exe\",\"SHA256\":\"9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f9f\"}}","TOOL_7Z_SHA256":"7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a7a","FILES":[{"FILE_NM":"Viewer.7z","SUB_DIR_SVR":"2.0.13/","SUB_DIR_CLI":"","FILE_VERSION":"2.0.13","FILE_SIZE":1234,"FILE_SIZE_7Z":1234,"TYPE_GB":"Z","FILE_SHA256":"c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0c0"}]},"UPDATE_LAUNCHER_INFO":{"INSTALL_GB":"LAUNCHER","SHORT_NM":"ZebLauncher","UP_VERSION":"1.0.0.0","ROOT_DIR_CLI_INST":"","RUN_EXE_NAME":"ZEB.Launcher.exe","CFG_FROM_SVR":"","SVR_URL":"https://files.example.com/","ROOT_DIR_SVR":"files/ZebLauncher/","FILES":[]}})json";

// r and s of each signature, in hex.
inline constexpr std::string_view kSigRelease =  // old key over kRelease
    "bae97fbdc0844e8a91e3b7a160a016a7fe84a29bfff80b53847885f4ecbaa93dcb13d5c1548ca37fa683ade48cb60464fcf093c7529b8281892e3c96d34a2218";
inline constexpr std::string_view kSigReleaseWithoutLauncher =  // old key over kReleaseWithoutLauncher
    "f3211e09d2cc7046377863810f61941ddab2cd9d4bf830319318f6b193c541a57eb07cb2796d6f76b6a4c5826540ea66fdfc5165bace5d465cb3b1702119ddf6";
inline constexpr std::string_view kSigReleaseWithRepeatedName =  // old key over kReleaseWithRepeatedName
    "75c316e64c700d87b440005ed75717b08095faa752c975f3b00200848e7fdd0d9abecd4ccfe3b0acb0639357c51c1afee4ec0680475d74c4d6b2b407e66bbabc";
inline constexpr std::string_view kSigReleaseNestedTooDeep =  // old key over kReleaseNestedTooDeep
    "4b3074281756adfa3c3e5d789ec5a237b89a4eb5812725f1abddb65c1b3e15148e5dae69b9fca477355f2b5539d2ef8222b547baa26c9abe82e6669759cf446f";
inline constexpr std::string_view kSigReleaseByNewKey =  // new key over kRelease
    "94c3efd7bd6f2ef68399ff7688359e554dbbd5a9ea80b0c9cadbe979876e297742fee8397712e128c121fba0474649912f5d27fd1d854a193c5a31b93b1dfec1";
inline constexpr std::string_view kSigReleaseByThirdKey =  // third key over kRelease
    "2bc092f7e189b3ba15f8f7d334025eff3a2a40989a4791faae3a42e400da5c2cb7d464cea44f80d52893e2f971321cffaee80ff652bb3df11c7635dd36dfe6bc";

// A release document as a server sends it: the signed text's update-information objects,
// each with NeedToUpdate true, and the signature members (keyId and signatureHex as given).
std::string SignedDocument(std::string_view signedText, std::string_view keyId,
                           std::string_view signatureHex);

}  // namespace vectors
