#pragma once

#include <cstdio>
#include <string>

namespace tvlkeyctl {

// While alive, the key library's diagnostics (printed to standard output) go to a temporary
// file instead, so standard output carries only the JSON answer.
class DiagnosticsCapture {
public:
    DiagnosticsCapture();
    DiagnosticsCapture(const DiagnosticsCapture&) = delete;
    DiagnosticsCapture& operator=(const DiagnosticsCapture&) = delete;
    ~DiagnosticsCapture();

    // Everything printed so far, one line per message.
    std::string text();

private:
    void restore();

    std::FILE* file_ = nullptr;
    int savedStdout_ = -1;
};

}  // namespace tvlkeyctl
