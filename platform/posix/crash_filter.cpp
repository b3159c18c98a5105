#include "platform/crash_filter.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <memory>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include "platform/text.h"

extern char** environ;

namespace velka {
namespace {

constexpr int c_aSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};

// Everything the handler reads is prepared here, outside signal context.
char g_szLogPath[1024];
char g_szCaption[256];
char g_szDefaultText[512];
char g_szWndProcText[512];
char g_szReporter[1024];
std::atomic<long> g_lUtcOffset{0}; // seconds east of UTC when installed
std::uintptr_t g_uStackLow = 0;    // lowest address of the main thread's stack
std::atomic<void (*)()> g_pfnCleanup{nullptr};
int g_fdLog = -1;
std::atomic<pid_t> g_tidHandling{0};

thread_local CrashContext t_ccContext = ccDefault;

// ---- async-signal-safe helpers -----------------------------------------

struct CBuf {
    char* p;
    std::size_t cb;
    std::size_t n = 0;
    void Put(char c) {
        if (n + 1 < cb) p[n++] = c;
        p[n] = 0;
    }
    void Put(const char* sz) {
        while (sz && *sz) Put(*sz++);
    }
    void Hex(std::uintptr_t v) { // "%08x", longer when the value needs it
        char tmp[2 * sizeof v];
        int k = 0;
        do {
            tmp[k++] = "0123456789abcdef"[v & 0xF];
            v >>= 4;
        } while (v);
        for (int pad = k; pad < 8; ++pad) Put('0');
        while (k) Put(tmp[--k]);
    }
    void Dec(long v, int nWidth = 0) {
        char tmp[24];
        int k = 0;
        bool fNeg = v < 0;
        unsigned long u = fNeg ? 0UL - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
        do {
            tmp[k++] = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u);
        if (fNeg) Put('-');
        for (int pad = k; pad < nWidth; ++pad) Put('0');
        while (k) Put(tmp[--k]);
    }
};

void CopyStr(char* dst, std::size_t cb, const std::string& s) {
    std::size_t n = s.size() < cb - 1 ? s.size() : cb - 1;
    std::memcpy(dst, s.data(), n);
    dst[n] = 0;
}

bool WriteAll(int fd, const void* p, std::size_t cb) {
    const char* pc = static_cast<const char*>(p);
    while (cb) {
        ssize_t n = ::write(fd, pc, cb);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        pc += n;
        cb -= static_cast<std::size_t>(n);
    }
    return true;
}

// UTF-8 to UTF-16LE bytes, written in chunks.
bool WriteUtf16(int fd, const char* sz) {
    unsigned char out[512];
    std::size_t n = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(sz);
    while (*p) {
        std::uint32_t cp = *p++;
        int extra = cp >= 0xF0 ? 3 : cp >= 0xE0 ? 2 : cp >= 0xC0 ? 1 : 0;
        if (extra) cp &= (0x3Fu >> extra);
        for (; extra && (*p & 0xC0) == 0x80; --extra) cp = (cp << 6) | (*p++ & 0x3F);
        if (extra) cp = 0xFFFD;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            std::uint32_t hi = 0xD800 + (cp >> 10), lo = 0xDC00 + (cp & 0x3FF);
            out[n++] = static_cast<unsigned char>(hi & 0xFF);
            out[n++] = static_cast<unsigned char>(hi >> 8);
            out[n++] = static_cast<unsigned char>(lo & 0xFF);
            out[n++] = static_cast<unsigned char>(lo >> 8);
        } else {
            out[n++] = static_cast<unsigned char>(cp & 0xFF);
            out[n++] = static_cast<unsigned char>(cp >> 8);
        }
        if (n + 4 > sizeof out) {
            if (!WriteAll(fd, out, n)) return false;
            n = 0;
        }
    }
    return WriteAll(fd, out, n);
}

// The civil date of a day count since 1970-01-01.
void CivilFromDays(long z, long* py, int* pm, int* pd) {
    z += 719468;
    long era = (z >= 0 ? z : z - 146096) / 146097;
    long doe = z - era * 146097;
    long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long y = yoe + era * 400;
    long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long mp = (5 * doy + 2) / 153;
    *pd = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *pm = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *py = y + (*pm <= 2);
}

// The name of the mapping that holds an address, from /proc/self/maps.
void FindModule(std::uintptr_t addr, char* szOut, std::size_t cbOut) {
    CBuf out{szOut, cbOut};
    out.Put("???");
    int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    char chunk[4096];
    char line[1024];
    std::size_t cLine = 0;
    bool fFound = false;
    auto TestLine = [&] {
        line[cLine] = 0;
        // "start-end perms offset dev inode   path"
        std::uintptr_t lo = 0, hi = 0;
        const char* p = line;
        auto HexVal = [&](std::uintptr_t* pv) {
            while ((*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'f')) {
                *pv = (*pv << 4) | static_cast<std::uintptr_t>(*p <= '9' ? *p - '0' : *p - 'a' + 10);
                ++p;
            }
        };
        HexVal(&lo);
        if (*p != '-') return;
        ++p;
        HexVal(&hi);
        if (addr < lo || addr >= hi) return;
        for (int field = 0; field < 4 && *p; ++field) { // perms offset dev inode
            while (*p == ' ') ++p;
            while (*p && *p != ' ') ++p;
        }
        while (*p == ' ') ++p;
        fFound = true;
        if (*p && *p != '[') {
            out.n = 0;
            out.Put(p);
        }
    };
    ssize_t n;
    while (!fFound && (n = ::read(fd, chunk, sizeof chunk)) > 0) {
        for (ssize_t k = 0; k < n && !fFound; ++k) {
            if (chunk[k] == '\n') {
                TestLine();
                cLine = 0;
            } else if (cLine + 1 < sizeof line) {
                line[cLine++] = chunk[k];
            }
        }
    }
    ::close(fd);
}

bool DebuggerAttached() {
    int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[4096];
    ssize_t n = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    if (n <= 0) return false;
    buf[n] = 0;
    const char* key = "TracerPid:";
    for (ssize_t k = 0; k + 10 < n; ++k) {
        if (std::memcmp(buf + k, key, 10) == 0) {
            const char* p = buf + k + 10;
            while (*p == ' ' || *p == '\t') ++p;
            return *p && *p != '0';
        }
    }
    return false;
}

void PassOn(int nSignal) {
    // Restores the default action; returning re-runs the faulting
    // instruction, which then takes its default course.
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    ::sigaction(nSignal, &sa, nullptr);
}

void WatchdogExit(int) { ::_exit(3); }

void ShowReport(const char* szText) {
    if (g_szReporter[0]) {
        pid_t pid = ::fork();
        if (pid == 0) {
            char szFlag[] = "--crash-report";
            char* argv[] = {g_szReporter, szFlag, g_szCaption, const_cast<char*>(szText), nullptr};
            ::execve(g_szReporter, argv, environ);
            ::_exit(127);
        }
        if (pid > 0) {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return;
        }
    }
    WriteAll(2, "error: ", 7);
    WriteAll(2, szText, std::strlen(szText));
    WriteAll(2, "\n", 1);
}

void CrashHandler(int nSignal, siginfo_t* psi, void* pvContext);

std::uintptr_t HandlerAddress() { return reinterpret_cast<std::uintptr_t>(&CrashHandler); }

void CrashHandler(int nSignal, siginfo_t* psi, void* pvContext) {
    const int nSavedErrno = errno;
    const pid_t tid = static_cast<pid_t>(::gettid());
    pid_t tidNone = 0;
    if (!g_tidHandling.compare_exchange_strong(tidNone, tid)) {
        if (tidNone == tid) ::_exit(3); // a fault inside the handler
        for (;;) ::pause();             // another thread is reporting
    }
    if (DebuggerAttached()) {
        g_tidHandling.store(0);
        PassOn(nSignal);
        errno = nSavedErrno;
        return;
    }

    CCrashInfo info;
    info.nSignal = nSignal;
    info.nCode = psi ? psi->si_code : 0;
    info.uFaultAddr = psi ? reinterpret_cast<std::uintptr_t>(psi->si_addr) : 0;
    info.uHandler = HandlerAddress();
    auto* puc = static_cast<ucontext_t*>(pvContext);
#if defined(__x86_64__)
    if (puc) {
        info.uFaultIp = static_cast<std::uintptr_t>(puc->uc_mcontext.gregs[REG_RIP]);
        info.fWrite = (puc->uc_mcontext.gregs[REG_ERR] & 2) != 0;
    }
#elif defined(__aarch64__)
    if (puc) {
        info.uFaultIp = static_cast<std::uintptr_t>(puc->uc_mcontext.pc);
        // ESR_EL1 write-not-read bit is not reachable portably: report reads.
    }
#else
    (void)puc;
#endif
    if (nSignal == SIGILL || nSignal == SIGFPE) info.uFaultIp = info.uFaultAddr;
    if (nSignal == SIGSEGV && g_uStackLow && info.uFaultAddr < g_uStackLow + 65536 &&
        info.uFaultAddr + (8u << 20) >= g_uStackLow)
        info.fStackOverflow = true;

    static char s_szModule[1024];
    FindModule(info.uFaultIp, s_szModule, sizeof s_szModule);
    info.szModule = s_szModule;

    static char s_szReport[2048];
    if (!FormatCrashReport(info, s_szReport, sizeof s_szReport)) {
        g_tidHandling.store(0);
        PassOn(nSignal);
        errno = nSavedErrno;
        return;
    }

    const CrashContext cc = t_ccContext;
    WriteCrashLogRecord(CrashLogTitle(cc), s_szReport);

    static char s_szBox[4096];
    CBuf box{s_szBox, sizeof s_szBox};
    if (cc == ccMain) {
        box.Put(s_szReport);
    } else {
        // The box text is a format with one %s for the report, or a
        // sentence the report follows on the next line.
        const char* szFormat = cc == ccWndProc ? g_szWndProcText : g_szDefaultText;
        const char* szSlot = std::strstr(szFormat, "%s");
        if (szSlot) {
            for (const char* p = szFormat; p < szSlot; ++p) box.Put(*p);
            box.Put(s_szReport);
            box.Put(szSlot + 2);
        } else {
            box.Put(szFormat);
            box.Put('\n');
            box.Put(s_szReport);
        }
    }
    ShowReport(s_szBox);

    if (cc == ccMain) ::_exit(255); // the entry point returns -1

    // The clean-up may touch state the fault left behind: a watchdog ends
    // the process should it hang.
    struct sigaction sa {};
    sa.sa_handler = WatchdogExit;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGALRM, &sa, nullptr);
    ::alarm(3);
    if (auto pfn = g_pfnCleanup.load()) pfn();
    ::_exit(3);
}

void InstallAltStack() {
    // One stack per thread, kept for the thread's life.
    static thread_local std::unique_ptr<char[]> t_pStack;
    if (t_pStack) return;
    constexpr std::size_t cb = 64 * 1024;
    t_pStack = std::make_unique<char[]>(cb);
    stack_t ss{};
    ss.ss_sp = t_pStack.get();
    ss.ss_size = cb;
    ::sigaltstack(&ss, nullptr);
}

} // namespace

const char* CrashLogTitle(CrashContext cc) {
    switch (cc) {
    case ccMain: return "_Main_ShowException";
    case ccWndProc: return "_WndProc_ShowException";
    default: return "_DefaultShowException";
    }
}

std::size_t FormatCrashReport(const CCrashInfo& info, char* pBuffer, std::size_t cbBuffer) {
    if (!pBuffer || !cbBuffer) return 0;
    CBuf b{pBuffer, cbBuffer};
    b.Put("");
    const char* szCause = nullptr;
    bool fAccess = false;
    switch (info.nSignal) {
    case SIGSEGV:
        if (info.fStackOverflow)
            szCause = "stack overlow";
        else
            fAccess = true;
        break;
    case SIGBUS:
        if (info.nCode == BUS_ADRALN)
            szCause = "datatype misalignment";
        else
            fAccess = true; // a page of a mapped file that is gone
        break;
    case SIGILL:
        szCause = (info.nCode == ILL_PRVOPC || info.nCode == ILL_PRVREG) ? "privileged instruction"
                                                                          : "illegal instruction";
        break;
    case SIGFPE:
        if (info.nCode == FPE_INTDIV)
            szCause = "divide by zero (integer)";
        else if (info.nCode == FPE_FLTDIV)
            szCause = "divide by zero (floating-point)";
        else if (info.nCode == FPE_FLTSUB)
            szCause = "array bounds exceeded";
        break;
    default: break;
    }
    if (!fAccess && !szCause) return 0;
    b.Put("Instruction at [0x");
    b.Hex(info.uFaultIp);
    b.Put("] \n");
    if (fAccess) {
        b.Put(info.fWrite ? "writes to" : "reads from");
        b.Put(" \ninvalid address [0x");
        b.Hex(info.uFaultAddr);
        b.Put("]. \n");
    } else {
        b.Put("caused ");
        b.Put(szCause);
        b.Put(". \n");
    }
    b.Put("Handler: [0x");
    b.Hex(info.uHandler);
    b.Put("]. \nModule: ");
    b.Put(info.szModule ? info.szModule : "???");
    b.Put(" \n(Build ");
    b.Dec(28);
    b.Put('.');
    b.Dec(15);
    b.Put(" full)");
    return b.n;
}

bool WriteCrashLogRecord(const char* szTitle, const char* szReport) {
    if (!g_szLogPath[0]) return false;
    if (g_fdLog < 0) {
        g_fdLog = ::open(g_szLogPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (g_fdLog < 0) return false;
        struct stat st {};
        if (::fstat(g_fdLog, &st) == 0 && st.st_size == 0) {
            const unsigned char bom[2] = {0xFF, 0xFE};
            if (!WriteAll(g_fdLog, bom, 2)) return false;
        }
    }
    char szTime[64];
    CBuf t{szTime, sizeof szTime};
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    long lLocal = static_cast<long>(ts.tv_sec) + g_lUtcOffset.load();
    long lDays = lLocal >= 0 ? lLocal / 86400 : -((-lLocal + 86399) / 86400);
    long lSec = lLocal - lDays * 86400;
    long y = 0;
    int m = 0, d = 0;
    CivilFromDays(lDays, &y, &m, &d);
    t.Put("** ");
    t.Dec(y);
    t.Put('-');
    t.Dec(m, 2);
    t.Put('-');
    t.Dec(d, 2);
    t.Put(' ');
    t.Dec(lSec / 3600, 2);
    t.Put(':');
    t.Dec(lSec / 60 % 60, 2);
    t.Put(':');
    t.Dec(lSec % 60, 2);
    t.Put("\r\n");
    return WriteUtf16(g_fdLog, "-----------------------\r\n") && WriteUtf16(g_fdLog, szTitle) &&
           WriteUtf16(g_fdLog, "\r\n") && WriteUtf16(g_fdLog, szReport) && WriteUtf16(g_fdLog, "\r\n") &&
           WriteUtf16(g_fdLog, szTime);
}

void InstallCrashFilter(const CCrashFilterConfig& config) {
    CopyStr(g_szLogPath, sizeof g_szLogPath, config.strLogPath);
    CopyStr(g_szCaption, sizeof g_szCaption, ToUtf8(config.strCaption));
    CopyStr(g_szDefaultText, sizeof g_szDefaultText, ToUtf8(config.strDefaultText));
    CopyStr(g_szWndProcText, sizeof g_szWndProcText, ToUtf8(config.strWndProcText));
    CopyStr(g_szReporter, sizeof g_szReporter, config.strReporter);
    if (g_fdLog >= 0) {
        ::close(g_fdLog);
        g_fdLog = -1;
    }

    time_t now = ::time(nullptr);
    struct tm tmLocal {};
    if (::localtime_r(&now, &tmLocal)) g_lUtcOffset.store(tmLocal.tm_gmtoff);

    pthread_attr_t attr;
    if (::pthread_getattr_np(::pthread_self(), &attr) == 0) {
        void* pStack = nullptr;
        std::size_t cbStack = 0;
        if (::pthread_attr_getstack(&attr, &pStack, &cbStack) == 0)
            g_uStackLow = reinterpret_cast<std::uintptr_t>(pStack);
        ::pthread_attr_destroy(&attr);
    }

    InstallAltStack();
    for (int nSignal : c_aSignals) {
        struct sigaction sa {};
        sa.sa_sigaction = CrashHandler;
        sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&sa.sa_mask);
        ::sigaction(nSignal, &sa, nullptr);
    }
}

void EnsureAltSignalStack() { InstallAltStack(); }

void SetCrashCleanup(void (*pfnCleanup)()) { g_pfnCleanup.store(pfnCleanup); }

CrashContext CurrentCrashContext() { return t_ccContext; }

CCrashContextScope::CCrashContextScope(CrashContext cc) : m_ccSaved(t_ccContext) { t_ccContext = cc; }
CCrashContextScope::~CCrashContextScope() { t_ccContext = m_ccSaved; }

} // namespace velka
