// Start-up, threads and shutdown of fed.
#pragma once

// The start-up thread: brings every subsystem up in order, reports fed running,
// waits for the event and CLI agent threads, then shuts down. Returns 0.
void* qz_fed_startup_thread(void* arg);

// Process entry: timer service, start-up thread, join. Returns the exit status.
int qz_fed_main();

// Ends the process through the assertion routine ("FALSE" at qz_fed_main:80);
// exit(status) stands behind it.
[[noreturn]] void qz_fed_fatal_stop(int status);

// The policy mapping store's directory on the device.
inline constexpr const char* QZ_FED_DB_ROOT = "/tmp/db";
inline constexpr const char* QZ_FED_DB_DIR = "/tmp/db/fed";
