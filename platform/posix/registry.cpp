#include "platform/registry.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <sqlite3.h>
#include <vector>

#include "platform/paths.h"
#include "platform/text.h"

namespace velka {

struct RegKeyNode {
    sqlite3_int64 id = 0; // row of the key; 0 for a root not yet resolved
    const char* szRoot = nullptr;
    bool fRoot = false;
};

namespace {

RegKeyNode g_rootCurrentUser{0, "HKEY_CURRENT_USER", true};
RegKeyNode g_rootLocalMachine{0, "HKEY_LOCAL_MACHINE", true};
RegKeyNode g_rootClassesRoot{0, "HKEY_CLASSES_ROOT", true};

std::recursive_mutex g_mutex;
sqlite3* g_db = nullptr;
bool g_fOpenTried = false;
std::string g_strPath;
std::string g_strLastError;

const char* c_szSchema =
    "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL,"
    " name TEXT NOT NULL COLLATE NOCASE, UNIQUE(parent, name));"
    "CREATE TABLE IF NOT EXISTS vals(id INTEGER PRIMARY KEY, key INTEGER NOT NULL,"
    " name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, data BLOB NOT NULL,"
    " UNIQUE(key, name));";

std::string DefaultPath() { return VelkaConfigDir() + "/settings.db"; }

// Statements of the open store stay prepared: settings are read while
// frames are drawn, and preparing costs more than the query itself.
struct CachedStmt {
    const char* szSql; // the call site's literal
    sqlite3_stmt* p;
    bool fInUse;
};
std::deque<CachedStmt> g_stmtCache;

void FinalizeCachedStatements() {
    for (CachedStmt& c : g_stmtCache) sqlite3_finalize(c.p);
    g_stmtCache.clear();
}

class Stmt {
public:
    Stmt(sqlite3* db, const char* sql) {
        if (db == g_db) {
            for (CachedStmt& c : g_stmtCache)
                if (c.szSql == sql && !c.fInUse) {
                    c.fInUse = true;
                    m_pCached = &c;
                    m_p = c.p;
                    m_rc = SQLITE_OK;
                    return;
                }
        }
        m_rc = sqlite3_prepare_v3(db, sql, -1, db == g_db ? SQLITE_PREPARE_PERSISTENT : 0, &m_p, nullptr);
        if (m_rc == SQLITE_OK && m_p && db == g_db) m_pCached = &g_stmtCache.emplace_back(CachedStmt{sql, m_p, true});
    }
    ~Stmt() {
        if (!m_pCached) {
            sqlite3_finalize(m_p);
            return;
        }
        sqlite3_reset(m_p);
        sqlite3_clear_bindings(m_p);
        m_pCached->fInUse = false;
    }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    bool Ok() const { return m_rc == SQLITE_OK && m_p; }
    sqlite3_stmt* get() { return m_p; }
    void Bind(int i, sqlite3_int64 v) { sqlite3_bind_int64(m_p, i, v); }
    void Bind(int i, const std::string& s) {
        sqlite3_bind_text(m_p, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    void BindBlob(int i, const void* p, int cb) {
        sqlite3_bind_blob(m_p, i, cb ? p : "", cb, SQLITE_TRANSIENT);
    }
    int Step() { return sqlite3_step(m_p); }

private:
    sqlite3_stmt* m_p = nullptr;
    int m_rc = SQLITE_ERROR;
    CachedStmt* m_pCached = nullptr;
};

std::string g_strDamagedAside;

// A WAL file whose header is not one SQLite wrote (bad magic or header
// checksum) would be ignored without a word, and the settings in it lost.
bool IsDamagedWal(const std::string& strWal) {
    struct stat st {};
    if (::stat(strWal.c_str(), &st) != 0 || st.st_size == 0) return false;
    if (st.st_size < 32) return true;
    unsigned char h[32];
    int fd = ::open(strWal.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool fRead = ::read(fd, h, sizeof h) == static_cast<ssize_t>(sizeof h);
    ::close(fd);
    if (!fRead) return true;
    auto Be32 = [&](int i) {
        return (std::uint32_t(h[i]) << 24) | (std::uint32_t(h[i + 1]) << 16) | (std::uint32_t(h[i + 2]) << 8) |
               h[i + 3];
    };
    const std::uint32_t magic = Be32(0);
    if (magic != 0x377f0682 && magic != 0x377f0683) return true;
    // The header checksum over its first 24 bytes, in the byte order the
    // magic names.
    const bool fBigEndian = magic & 1;
    std::uint32_t s0 = 0, s1 = 0;
    for (int i = 0; i < 24; i += 8) {
        auto Word = [&](int k) {
            return fBigEndian ? Be32(k)
                              : (std::uint32_t(h[k + 3]) << 24) | (std::uint32_t(h[k + 2]) << 16) |
                                    (std::uint32_t(h[k + 1]) << 8) | h[k];
        };
        s0 += Word(i) + s1;
        s1 += Word(i + 4) + s0;
    }
    return s0 != Be32(24) || s1 != Be32(28);
}

// Keeps a damaged store (with its WAL and shared-memory files) aside under
// a name no later run uses, so that a new store can take its place.
std::string KeepAside(const std::string& strPath) {
    std::string aside = strPath + ".damaged";
    for (int n = 1; ::access(aside.c_str(), F_OK) == 0; ++n) aside = strPath + ".damaged-" + std::to_string(n);
    if (::rename(strPath.c_str(), aside.c_str()) != 0) return "";
    for (const char* szSuffix : {"-wal", "-shm"}) {
        const std::string from = strPath + szSuffix;
        if (::access(from.c_str(), F_OK) == 0 && ::rename(from.c_str(), (aside + szSuffix).c_str()) != 0)
            ::unlink(from.c_str());
    }
    return aside;
}

// Opens the database; "damaged" tells a store that exists but cannot be
// trusted (as opposed to one that cannot be opened at all).
sqlite3* OpenStore(const std::string& path, bool* pfDamaged) {
    *pfDamaged = false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) {
        // SQLite would take an empty file for a new store: every setting gone.
        g_strLastError = "the file is empty";
        *pfDamaged = true;
        return nullptr;
    }
    if (IsDamagedWal(path + "-wal")) {
        g_strLastError = "its write-ahead log is damaged";
        *pfDamaged = true;
        return nullptr;
    }
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE |
                                                    SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        g_strLastError = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        *pfDamaged = rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT;
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 2000);
    // A damaged file must be left as it is: check it before anything writes.
    {
        Stmt check(db, "PRAGMA quick_check");
        rc = check.Ok() ? check.Step() : SQLITE_ERROR;
        bool fOk = rc == SQLITE_ROW &&
                   std::strcmp(reinterpret_cast<const char*>(
                                   sqlite3_column_text(check.get(), 0)), "ok") == 0;
        if (!fOk) {
            const int nCode = sqlite3_errcode(db);
            g_strLastError = rc == SQLITE_ROW ? "database disk image is malformed"
                                              : sqlite3_errmsg(db);
            *pfDamaged = rc == SQLITE_ROW || nCode == SQLITE_NOTADB || nCode == SQLITE_CORRUPT;
            sqlite3_close(db);
            return nullptr;
        }
    }
    char* szErr = nullptr;
    if (sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr,
                     &szErr) != SQLITE_OK ||
        sqlite3_exec(db, c_szSchema, nullptr, nullptr, &szErr) != SQLITE_OK) {
        g_strLastError = szErr ? szErr : "cannot initialise settings database";
        sqlite3_free(szErr);
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

bool OpenDatabaseLocked() {
    if (g_db) return true;
    if (g_fOpenTried) return false;
    g_fOpenTried = true;
    std::string path = g_strPath.empty() ? DefaultPath() : g_strPath;
    int err = 0;
    std::string dir = std::filesystem::path(path).parent_path().string();
    if (!dir.empty() && !(g_strPath.empty() ? EnsurePrivateDirectory(dir, &err) : EnsureDirectory(dir, &err))) {
        g_strLastError = std::strerror(err);
        return false;
    }
    bool fDamaged = false;
    sqlite3* db = OpenStore(path, &fDamaged);
    if (!db && fDamaged && path != ":memory:") {
        // Kept for the user, and a new store with the defaults in its place.
        const std::string strReason = g_strLastError;
        g_strDamagedAside = KeepAside(path);
        if (!g_strDamagedAside.empty()) db = OpenStore(path, &fDamaged);
        g_strLastError = strReason;
    }
    if (!db) return false;
    g_db = db;
    return true;
}

// Resolves the row of a root, creating it on first use.
bool ResolveRoot(RegKeyNode* root) {
    if (root->id) return true;
    Stmt ins(g_db, "INSERT OR IGNORE INTO keys(parent, name) VALUES(0, ?)");
    if (!ins.Ok()) return false;
    ins.Bind(1, std::string(root->szRoot));
    ins.Step();
    Stmt sel(g_db, "SELECT id FROM keys WHERE parent = 0 AND name = ?");
    if (!sel.Ok()) return false;
    sel.Bind(1, std::string(root->szRoot));
    if (sel.Step() != SQLITE_ROW) return false;
    root->id = sqlite3_column_int64(sel.get(), 0);
    return true;
}

bool KeyId(HKEY h, sqlite3_int64* pId) {
    if (!h) return false;
    if (h->fRoot && !ResolveRoot(h)) return false;
    *pId = h->id;
    return true;
}

std::vector<std::string> SplitPath(const char16_t* sz) {
    std::vector<std::string> parts;
    std::u16string cur;
    for (const char16_t* p = sz; p && *p; ++p) {
        if (*p == u'\\' || *p == u'/') {
            if (!cur.empty()) parts.push_back(ToUtf8(cur));
            cur.clear();
        } else {
            cur += *p;
        }
    }
    if (!cur.empty()) parts.push_back(ToUtf8(cur));
    return parts;
}

LONG OpenOrCreate(HKEY hParent, const char16_t* szSubKey, HKEY* phResult, bool fCreate) {
    if (!phResult) return ERROR_INVALID_DATA;
    *phResult = nullptr;
    std::lock_guard lock(g_mutex);
    if (!OpenDatabaseLocked()) return ERROR_CANTOPEN;
    sqlite3_int64 id = 0;
    if (!KeyId(hParent, &id)) return ERROR_INVALID_HANDLE;
    for (const std::string& part : SplitPath(szSubKey)) {
        if (fCreate) {
            Stmt ins(g_db, "INSERT OR IGNORE INTO keys(parent, name) VALUES(?, ?)");
            if (!ins.Ok()) return ERROR_ACCESS_DENIED;
            ins.Bind(1, id);
            ins.Bind(2, part);
            if (ins.Step() != SQLITE_DONE) return ERROR_ACCESS_DENIED;
        }
        Stmt sel(g_db, "SELECT id FROM keys WHERE parent = ? AND name = ?");
        if (!sel.Ok()) return ERROR_ACCESS_DENIED;
        sel.Bind(1, id);
        sel.Bind(2, part);
        if (sel.Step() != SQLITE_ROW) return ERROR_FILE_NOT_FOUND;
        id = sqlite3_column_int64(sel.get(), 0);
    }
    *phResult = new RegKeyNode{id, nullptr, false};
    return ERROR_SUCCESS;
}

std::string ValueName(const char16_t* szName) { return szName ? ToUtf8(szName) : std::string(); }

} // namespace

const HKEY HKEY_CURRENT_USER = &g_rootCurrentUser;
const HKEY HKEY_LOCAL_MACHINE = &g_rootLocalMachine;
const HKEY HKEY_CLASSES_ROOT = &g_rootClassesRoot;

void RegSetDatabasePath(const std::string& strPath) {
    std::lock_guard lock(g_mutex);
    RegShutdown();
    g_strPath = strPath;
}

std::string RegDatabasePath() {
    std::lock_guard lock(g_mutex);
    return g_strPath.empty() ? DefaultPath() : g_strPath;
}

std::string RegLastOpenError() {
    std::lock_guard lock(g_mutex);
    return g_strLastError;
}

std::string RegDamagedStoreAside() {
    std::lock_guard lock(g_mutex);
    return g_strDamagedAside;
}

void RegShutdown() {
    std::lock_guard lock(g_mutex);
    FinalizeCachedStatements();
    if (g_db) sqlite3_close(g_db);
    g_db = nullptr;
    g_fOpenTried = false;
    g_strDamagedAside.clear();
    g_rootCurrentUser.id = g_rootLocalMachine.id = g_rootClassesRoot.id = 0;
}

LONG RegCreateKeyEx(HKEY hParent, const char16_t* szSubKey, HKEY* phResult) {
    return OpenOrCreate(hParent, szSubKey, phResult, true);
}

LONG RegOpenKeyEx(HKEY hParent, const char16_t* szSubKey, HKEY* phResult) {
    return OpenOrCreate(hParent, szSubKey, phResult, false);
}

LONG RegCloseKey(HKEY hKey) {
    if (!hKey) return ERROR_INVALID_HANDLE;
    if (!hKey->fRoot) delete hKey;
    return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY hKey, const char16_t* szName, DWORD* pdwType, BYTE* pData,
                     DWORD* pcbData) {
    std::lock_guard lock(g_mutex);
    if (!g_db) return ERROR_INVALID_HANDLE;
    sqlite3_int64 id = 0;
    if (!KeyId(hKey, &id)) return ERROR_INVALID_HANDLE;
    Stmt sel(g_db, "SELECT type, data FROM vals WHERE key = ? AND name = ?");
    if (!sel.Ok()) return ERROR_ACCESS_DENIED;
    sel.Bind(1, id);
    sel.Bind(2, ValueName(szName));
    if (sel.Step() != SQLITE_ROW) return ERROR_FILE_NOT_FOUND;
    DWORD dwType = static_cast<DWORD>(sqlite3_column_int64(sel.get(), 0));
    const void* p = sqlite3_column_blob(sel.get(), 1);
    DWORD cb = static_cast<DWORD>(sqlite3_column_bytes(sel.get(), 1));
    if (pdwType) *pdwType = dwType;
    if (!pcbData) return pData ? ERROR_INVALID_DATA : ERROR_SUCCESS;
    if (pData) {
        if (*pcbData < cb) {
            *pcbData = cb;
            return ERROR_MORE_DATA;
        }
        if (cb) std::memcpy(pData, p, cb);
    }
    *pcbData = cb;
    return ERROR_SUCCESS;
}

LONG RegSetValueEx(HKEY hKey, const char16_t* szName, DWORD dwType, const BYTE* pData,
                   DWORD cbData) {
    std::lock_guard lock(g_mutex);
    if (!g_db) return ERROR_INVALID_HANDLE;
    sqlite3_int64 id = 0;
    if (!KeyId(hKey, &id)) return ERROR_INVALID_HANDLE;
    Stmt up(g_db, "INSERT INTO vals(key, name, type, data) VALUES(?, ?, ?, ?)"
                  " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type,"
                  " data = excluded.data");
    if (!up.Ok()) return ERROR_ACCESS_DENIED;
    up.Bind(1, id);
    up.Bind(2, ValueName(szName));
    up.Bind(3, static_cast<sqlite3_int64>(dwType));
    up.BindBlob(4, pData, pData ? static_cast<int>(cbData) : 0);
    return up.Step() == SQLITE_DONE ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG RegDeleteValue(HKEY hKey, const char16_t* szName) {
    std::lock_guard lock(g_mutex);
    if (!g_db) return ERROR_INVALID_HANDLE;
    sqlite3_int64 id = 0;
    if (!KeyId(hKey, &id)) return ERROR_INVALID_HANDLE;
    Stmt del(g_db, "DELETE FROM vals WHERE key = ? AND name = ?");
    if (!del.Ok()) return ERROR_ACCESS_DENIED;
    del.Bind(1, id);
    del.Bind(2, ValueName(szName));
    if (del.Step() != SQLITE_DONE) return ERROR_ACCESS_DENIED;
    return sqlite3_changes(g_db) > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG RegEnumValue(HKEY hKey, DWORD dwIndex, char16_t* szName, DWORD* pcchName, DWORD* pdwType) {
    std::lock_guard lock(g_mutex);
    if (!g_db) return ERROR_INVALID_HANDLE;
    sqlite3_int64 id = 0;
    if (!KeyId(hKey, &id) || !pcchName) return ERROR_INVALID_HANDLE;
    Stmt sel(g_db, "SELECT name, type FROM vals WHERE key = ? ORDER BY id LIMIT 1 OFFSET ?");
    if (!sel.Ok()) return ERROR_ACCESS_DENIED;
    sel.Bind(1, id);
    sel.Bind(2, static_cast<sqlite3_int64>(dwIndex));
    if (sel.Step() != SQLITE_ROW) return ERROR_NO_MORE_ITEMS;
    std::u16string name = FromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(sel.get(), 0)));
    if (pdwType) *pdwType = static_cast<DWORD>(sqlite3_column_int64(sel.get(), 1));
    if (name.size() + 1 > *pcchName) {
        *pcchName = static_cast<DWORD>(name.size());
        return ERROR_MORE_DATA;
    }
    CopyToBuffer(szName, *pcchName, name);
    *pcchName = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

LONG RegDeleteKey(HKEY hParent, const char16_t* szSubKey) {
    HKEY h = nullptr;
    LONG rc = RegOpenKeyEx(hParent, szSubKey, &h);
    if (rc != ERROR_SUCCESS) return rc;
    std::lock_guard lock(g_mutex);
    sqlite3_int64 id = h->id;
    RegCloseKey(h);
    {
        Stmt sub(g_db, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
        if (!sub.Ok()) return ERROR_ACCESS_DENIED;
        sub.Bind(1, id);
        if (sub.Step() == SQLITE_ROW) return ERROR_ACCESS_DENIED;
    }
    Stmt delVals(g_db, "DELETE FROM vals WHERE key = ?");
    Stmt delKey(g_db, "DELETE FROM keys WHERE id = ?");
    if (!delVals.Ok() || !delKey.Ok()) return ERROR_ACCESS_DENIED;
    delVals.Bind(1, id);
    delKey.Bind(1, id);
    if (delVals.Step() != SQLITE_DONE || delKey.Step() != SQLITE_DONE) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

LONG RegEnumKey(HKEY hKey, DWORD dwIndex, char16_t* szName, DWORD cchName) {
    std::lock_guard lock(g_mutex);
    if (!g_db) return ERROR_INVALID_HANDLE;
    sqlite3_int64 id = 0;
    if (!KeyId(hKey, &id)) return ERROR_INVALID_HANDLE;
    Stmt sel(g_db, "SELECT name FROM keys WHERE parent = ? ORDER BY id LIMIT 1 OFFSET ?");
    if (!sel.Ok()) return ERROR_ACCESS_DENIED;
    sel.Bind(1, id);
    sel.Bind(2, static_cast<sqlite3_int64>(dwIndex));
    if (sel.Step() != SQLITE_ROW) return ERROR_NO_MORE_ITEMS;
    std::u16string name = FromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(sel.get(), 0)));
    if (name.size() + 1 > cchName) return ERROR_MORE_DATA;
    CopyToBuffer(szName, cchName, name);
    return ERROR_SUCCESS;
}

} // namespace velka
