#pragma once
// Asks the update server, brings the program up to date and starts it.
#include "launcher/LaunchRequest.h"

int CheckUpdateAndLaunchProgram(const LaunchRequest& request);
