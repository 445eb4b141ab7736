#include "app/TProgressDisplay.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

bool IsTerminal(std::FILE* stream)
{
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) != 0;
#endif
}

}  // namespace

TProgressDisplay::TProgressDisplay(std::FILE* stream) : TProgressDisplay(stream, IsTerminal(stream)) {}

TProgressDisplay::TProgressDisplay(std::FILE* stream, bool terminal)
    : MbrPtrStream(stream), MbrTimStart(std::chrono::steady_clock::now()), MbrTimDrawn(MbrTimStart),
      MbrBlnTerminal(terminal)
{
}

TProgressDisplay::~TProgressDisplay() { Clear(); }

std::string TProgressDisplay::Line(double share, double bytes, double seconds)
{
    char text[128];
    const double rate = seconds > 0 ? bytes / seconds / 1e6 : 0;
    int written = std::snprintf(text, sizeof text, "%5.1f%% of rows, %.0f MB/s", 100 * share, rate);
    if (share > 0 && share < 1 && seconds > 0) {
        const long left = static_cast<long>(seconds * (1 - share) / share + 0.5);
        written += left < 100 ? std::snprintf(text + written, sizeof text - written, ", %ld s left", left)
                              : std::snprintf(text + written, sizeof text - written, ", %ld:%02ld left", left / 60, left % 60);
    }
    return std::string(text, static_cast<size_t>(written));
}

void TProgressDisplay::Update(const TStackProgress& progress)
{
    const auto now = std::chrono::steady_clock::now();
    if (!MbrBlnTerminal) {
        // A log gets a line at each tenth, not a carriage return per redraw.
        const double done = progress.CellsTotal > 0
            ? static_cast<double>(progress.CellsDone) / static_cast<double>(progress.CellsTotal)
            : 0;
        const int tenths = static_cast<int>(done * 10 + 1e-9);
        if (tenths <= MbrIntTenths) return;
        MbrIntTenths = tenths;
        const double seconds = std::chrono::duration<double>(now - MbrTimStart).count();
        const std::string line = Line(tenths / 10.0, static_cast<double>(progress.BytesRead), seconds);
        std::fprintf(MbrPtrStream, "gridmean: %s\n", line.c_str() + line.find_first_not_of(' '));
        std::fflush(MbrPtrStream);
        return;
    }
    if (MbrSizShown > 0 && now - MbrTimDrawn < std::chrono::milliseconds(100)) return;
    MbrTimDrawn = now;
    const double seconds = std::chrono::duration<double>(now - MbrTimStart).count();
    const double share =
        progress.CellsTotal > 0 ? static_cast<double>(progress.CellsDone) / static_cast<double>(progress.CellsTotal) : 0;
    std::string line = Line(share, static_cast<double>(progress.BytesRead), seconds);
    const size_t length = line.size();
    if (length < MbrSizShown) line.append(MbrSizShown - length, ' ');
    std::fprintf(MbrPtrStream, "\r%s", line.c_str());
    std::fflush(MbrPtrStream);
    MbrSizShown = length;
}

void TProgressDisplay::Clear()
{
    if (MbrSizShown == 0) return;
    std::fprintf(MbrPtrStream, "\r%s\r", std::string(MbrSizShown, ' ').c_str());
    std::fflush(MbrPtrStream);
    MbrSizShown = 0;
}
