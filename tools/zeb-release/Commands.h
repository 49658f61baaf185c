#pragma once
// The four commands of zeb-release. Each takes the items after its name and returns the
// exit code: 0 done, 1 failed (the reason on standard error), 2 wrong usage.
#include <span>

int RunKeygen(std::span<const char* const> items);
int RunPack(std::span<const char* const> items);
int RunSign(std::span<const char* const> items);
int RunPublish(std::span<const char* const> items);
