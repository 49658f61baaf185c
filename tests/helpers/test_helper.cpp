// Child program for tests: behaviour chosen by its first argument.
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "exit") return argc > 2 ? std::atoi(argv[2]) : 0;
    return 0;
}
