// The crash filter: a fault (SIGSEGV, SIGBUS, SIGILL, SIGFPE) is caught on
// an alternate signal stack, turned into the report text ("Instruction at
// [0x...] ..."), appended to the crash log (UTF-16LE), shown in an error
// box, and the process ends. Everything the handler needs is prepared when
// the filter is installed; the handler itself only formats into static
// buffers and writes with write(2).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace velka {

// Where a fault happened, which picks the log title and the box text.
enum CrashContext {
    ccDefault = 0, // "_DefaultShowException", text 2008 before the report
    ccMain = 1,    // "_Main_ShowException", the report alone; the process returns -1
    ccWndProc = 2, // "_WndProc_ShowException", text 2010 before the report
};

struct CCrashFilterConfig {
    std::string strLogPath;      // the crash log; empty: no log
    std::u16string strCaption;   // caption of the error box
    // Box texts: a format whose %s takes the report, or a sentence the
    // report follows on a new line.
    std::u16string strDefaultText; // string 2008
    std::u16string strWndProcText; // string 2010
    // A program started as "<program> --crash-report <caption> <text>" to
    // show the box; empty: the box text goes to stderr.
    std::string strReporter;
};

// Installs (or updates) the filter for the four signals, with an alternate
// signal stack for the calling thread.
void InstallCrashFilter(const CCrashFilterConfig& config);
// Gives the calling thread its own alternate signal stack (reader threads).
void EnsureAltSignalStack();
// Called after a fault outside the entry point, before the process ends
// with exit code 3 (a watchdog ends it should the function hang).
void SetCrashCleanup(void (*pfnCleanup)());

// The calling thread's context, restored by the scope's destructor.
CrashContext CurrentCrashContext();
class CCrashContextScope {
public:
    explicit CCrashContextScope(CrashContext cc);
    ~CCrashContextScope();
    CCrashContextScope(const CCrashContextScope&) = delete;
    CCrashContextScope& operator=(const CCrashContextScope&) = delete;

private:
    CrashContext m_ccSaved;
};

// A fault as the handler sees it.
struct CCrashInfo {
    int nSignal = 0;
    int nCode = 0;                 // si_code
    std::uintptr_t uFaultIp = 0;   // instruction
    std::uintptr_t uFaultAddr = 0; // inaccessible address (SIGSEGV, SIGBUS)
    bool fWrite = false;           // the access was a write
    bool fStackOverflow = false;
    std::uintptr_t uHandler = 0;   // the filter's own address
    const char* szModule = "???";
};

// Formats the report (UTF-8) into the buffer, always terminated; returns
// its length, or 0 for a fault that is not reported (the signal then takes
// its default course). Async-signal-safe.
std::size_t FormatCrashReport(const CCrashInfo& info, char* pBuffer, std::size_t cbBuffer);

// The log title of a context.
const char* CrashLogTitle(CrashContext cc);

// Appends one record to the crash log: the separator line, the title, the
// report and the local time, as UTF-16LE; a new file starts with FF FE.
// Async-signal-safe; false when the file cannot be opened or written.
bool WriteCrashLogRecord(const char* szTitle, const char* szReport);

} // namespace velka
