#pragma once
#include <string>

// The command-line values handed to the flow, and the arguments forwarded to the program.
struct LaunchRequest {
    std::wstring command;
    std::wstring companyId;
    std::wstring companyPass;
    std::wstring customerId;
    std::wstring programId;
    std::wstring launchArgs;
    std::wstring programArgs;
};
