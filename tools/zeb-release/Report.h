#pragma once
// How the commands end: a line on standard error and the exit code.
#include <iostream>
#include <string>

inline int Failed(const char* command, const std::string& reason) {
    std::cerr << "zeb-release " << command << ": " << reason << "\n";
    return 1;
}

inline int WrongUsage(const char* command, const std::string& reason) {
    std::cerr << "zeb-release " << command << ": " << reason << "\n"
              << "(zeb-release --help shows the commands)\n";
    return 2;
}
