#include "tests/support/StderrCapture.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

StderrCapture::StderrCapture() {
    std::fflush(stderr);
    char name[] = "/tmp/zeb-stderr-XXXXXX";
    file_ = mkstemp(name);
    if (file_ < 0) throw std::runtime_error("mkstemp failed");
    unlink(name);
    saved_ = dup(STDERR_FILENO);
    dup2(file_, STDERR_FILENO);
}

StderrCapture::~StderrCapture() {
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    close(file_);
}

std::string StderrCapture::Text() const {
    std::fflush(stderr);
    std::string text;
    char buffer[4096];
    for (off_t at = 0;;) {
        const ssize_t n = pread(file_, buffer, sizeof buffer, at);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
        at += n;
    }
    return text;
}
