#include "diagnostics_capture.h"

#include <unistd.h>

#include <stdexcept>

namespace tvlkeyctl {

DiagnosticsCapture::DiagnosticsCapture()
{
    fflush(stdout);
    file_ = tmpfile();
    savedStdout_ = dup(STDOUT_FILENO);
    if (file_ == nullptr || savedStdout_ < 0 || dup2(fileno(file_), STDOUT_FILENO) < 0) {
        restore();
        throw std::runtime_error("cannot set aside the library's diagnostics");
    }
}

DiagnosticsCapture::~DiagnosticsCapture() { restore(); }

void DiagnosticsCapture::restore()
{
    fflush(stdout);
    if (savedStdout_ >= 0) {
        dup2(savedStdout_, STDOUT_FILENO);
        close(savedStdout_);
        savedStdout_ = -1;
    }
    if (file_ != nullptr) {
        fclose(file_);
        file_ = nullptr;
    }
}

std::string DiagnosticsCapture::text()
{
    fflush(stdout);
    std::string captured;
    if (file_ == nullptr)
        return captured;
    rewind(file_);
    char chunk[512];
    std::size_t read = 0;
    while ((read = fread(chunk, 1, sizeof chunk, file_)) > 0)
        captured.append(chunk, read);
    return captured;
}

}  // namespace tvlkeyctl
