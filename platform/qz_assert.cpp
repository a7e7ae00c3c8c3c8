#include "platform/qz_assert.h"

#include <cstdlib>

#include "platform/qz.h"

const char* qz_assert_trim_path(const char* file) {
    if (!file) return "";
    while (*file == '.' || *file == '/') ++file;
    return file;
}

void qz_assert_fail(const char* expr, const char* file, int line) {
    const char* path = qz_assert_trim_path(file);
    // syslog priority 15: facility user, level debug.
    qz_syslog(15, "Assertion (%s) failed at %s:%d\n", expr, path, line);
    __qz_err(" ", 68, "### Assertion (%s) failed at %s:%d\n", expr, path, line);
    std::abort();
}
