// Makes the template Wine prefix before the Windows tests run (they would make it themselves,
// one of them waiting for it, but then the first tests' time-outs would include it).
#include <cstdio>
#include <exception>

#include "tests/wine/support/WinePrefix.h"

int main() {
    try {
        std::printf("template prefix: %s\n", TemplatePrefix().c_str());
        RemoveStalePrefixes();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
