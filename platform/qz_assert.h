// The assertion routine shared by every module of fed, and QZ_CHECK_RC.
#pragma once

// Reports a failed internal invariant and ends the process at once and
// abnormally: no exit handlers run. The source path is reported without its
// leading '.' and '/' characters.
[[noreturn]] void qz_assert_fail(const char* expr, const char* file, int line);

// The source path as the assertion lines print it (leading '.' and '/' skipped).
const char* qz_assert_trim_path(const char* file);

#define QZ_ASSERT(expr) ((expr) ? (void)0 : qz_assert_fail(#expr, __FILE__, __LINE__))
// The same with the condition reported under its own text.
#define QZ_ASSERT_TEXT(expr, text) ((expr) ? (void)0 : qz_assert_fail(text, __FILE__, __LINE__))

// Passes a non-zero result up after logging it.
#define QZ_CHECK_RC(call)                                                         \
    do {                                                                          \
        int qz_check_rc_ = (call);                                                \
        if (qz_check_rc_ != 0) {                                                  \
            __qz_err(" ", __LINE__, "QZ_CHECK_RC failed, rc = %d", qz_check_rc_); \
            return qz_check_rc_;                                                  \
        }                                                                         \
    } while (0)
