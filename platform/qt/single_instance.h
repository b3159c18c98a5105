// The single-instance rule over a per-user local socket in
// $XDG_RUNTIME_DIR: the first instance listens; a later one connects,
// hands over its command line (the counterpart of WM_COPYDATA with
// dwData 0) and waits until the first instance took it. The socket is
// readable by the user alone.
#pragma once
#include <QLocalServer>
#include <functional>
#include <memory>
#include <string>

namespace velka {

enum class HandOverResult {
    NoInstance,   // none runs (or only its stale socket is left)
    Accepted,     // the running instance took the command line
    NotAnswering, // one runs but does not answer: frozen
};

class CSingleInstance {
public:
    CSingleInstance();
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    static std::string SocketPath();

    // Serialises start-ups of the user's instances from the check to the
    // listening (a lock file beside the socket).
    void LockStartup();
    void UnlockStartup();

    // Offers the command line to a running instance (an empty one only
    // brings it to the front).
    static HandOverResult HandOver(const std::u16string& strCmdLine, int msTimeout = 3000);

    // Starts listening; fnActivate runs for every connection, fnCommandLine
    // for every non-empty command line handed over.
    bool Listen(std::function<void()> fnActivate, std::function<void(const std::u16string&)> fnCommandLine);
    void Close();

private:
    std::unique_ptr<QLocalServer> m_pServer;
    int m_fdLock = -1;
};

// The hand-over record: "VLK1", dwData (LE 32), cbData (LE 32), then the
// command line as UTF-16LE with its terminating zero.
std::string EncodeHandOver(const std::u16string& strCmdLine);
// Decodes a complete record; 0 when more bytes are needed, -1 when the
// bytes are not a record, else the record's length.
long DecodeHandOver(const char* p, std::size_t cb, std::u16string* pstrCmdLine);

} // namespace velka
