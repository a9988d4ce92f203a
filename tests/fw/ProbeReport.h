// What the fw probes print for each case, one line each, flushed at once so that the Wine test
// driving the probe reads them as they come: "ok NAME", or "failed NAME: WHY".
#pragma once
#include <cstdio>
#include <string>

inline int g_probeFailures = 0;

inline void Report(const char* name, bool ok, const std::string& why = std::string())
{
    if (ok) {
        std::printf("ok %s\n", name);
    } else {
        std::printf("failed %s: %s\n", name, why.c_str());
        ++g_probeFailures;
    }
    std::fflush(stdout);
}

// The probe's exit code: 1 when a case failed.
inline int ProbeExitCode() { return g_probeFailures ? 1 : 0; }
