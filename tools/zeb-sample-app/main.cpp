// A managed program for the demo and the tests. It records how it was started, creates its
// exit event "__zeb_exit_event_" + short name + "_" and runs until the event is signalled.
//
// Record: "received_args.txt" beside the executable and, when ZEB_SAMPLE_APP_RECORD names
// a file, that file too; each is replaced as a whole (a reader sees no half-written file).
// Lines, LF-terminated, UTF-8:
//   pid=<process id>
//   cwd=<working directory>
//   exe=<own path>
//   cmdline=<command line> the whole command line as the system handed it over
//   arg=<argument>        once per argument after argv[0], in order, bytes as received
//
// Environment:
//   ZEB_SAMPLE_APP_SHORT_NM       short name of the exit event (default "zeb-sample-app")
//   ZEB_SAMPLE_APP_IGNORE_EVENT=1 the event is ignored: the program runs until killed
//   ZEB_SAMPLE_APP_EXIT_AT_ONCE=1 record and exit at once
//   ZEB_SAMPLE_APP_EXIT_RECORD    a file written with "event" when the program ends because
//                                 its exit event was signalled (not when it is killed)
#include <string>
#include <vector>

#include "common/PathText.h"
#include "common/os/os.h"

namespace {

bool Flag(const wchar_t* name) { return os::GetEnv(name).value_or(L"") == L"1"; }

std::string Narrow(const std::wstring& text) { return os::WideToUtf8Lossy(text); }

void WriteRecord(const std::wstring& path, const std::string& record) {
    const std::wstring temporary = path + L".tmp";
    if (os::WriteNewFile(temporary, record.data(), record.size()) != 0) return;
    os::RemoveFile(path);
    if (os::RenameNoReplace(temporary, path) != 0) os::RemoveFile(temporary);
}

std::string MakeRecord(int argc, char** argv, const std::wstring& exe) {
    std::string record = "pid=" + std::to_string(os::CurrentProcessId()) + "\n";
    record += "cwd=" + Narrow(os::CurrentDirectory()) + "\n";
    record += "exe=" + Narrow(exe) + "\n";
    record += "cmdline=" + Narrow(os::ProcessCommandLine()) + "\n";
    for (int i = 1; i < argc; ++i) record += std::string("arg=") + argv[i] + "\n";
    return record;
}

}  // namespace

int main(int argc, char** argv) {
    const std::wstring exe = os::ModulePath();
    const std::wstring shortName =
        os::GetEnv(L"ZEB_SAMPLE_APP_SHORT_NM").value_or(L"zeb-sample-app");
    const std::wstring eventName = L"__zeb_exit_event_" + shortName + L"_";

    // The event exists before the record does: whoever sees the record can signal it.
    os::EventHandle event = 0;
    const bool haveEvent = os::CreateNamedEvent(eventName, event) == 0;

    const std::string record = MakeRecord(argc, argv, exe);
    const size_t folderEnd = LastSeparator(exe);
    if (folderEnd != std::wstring::npos)
        WriteRecord(exe.substr(0, folderEnd + 1) + L"received_args.txt", record);
    const std::wstring extra = os::GetEnv(L"ZEB_SAMPLE_APP_RECORD").value_or(L"");
    if (!extra.empty()) WriteRecord(extra, record);

    if (!Flag(L"ZEB_SAMPLE_APP_EXIT_AT_ONCE")) {
        const bool ignore = Flag(L"ZEB_SAMPLE_APP_IGNORE_EVENT");
        if (haveEvent) {
            while (true) {
                if (os::WaitNamedEvent(event, 1000)) {
                    if (!ignore) break;
                } else {
                    os::SleepMs(10);  // a broken semaphore must not make this spin
                }
            }
            const std::wstring exitRecord =
                os::GetEnv(L"ZEB_SAMPLE_APP_EXIT_RECORD").value_or(L"");
            if (!exitRecord.empty()) WriteRecord(exitRecord, "event\n");
        } else {
            // Without an event only a kill ends the program.
            while (true) os::SleepMs(1000);
        }
    }
    if (haveEvent) {
        os::CloseNamedEvent(event);
        os::RemoveNamedEvent(eventName);
    }
    return 0;
}
