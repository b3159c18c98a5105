#include "platform/qt/single_instance.h"

#include <QLocalSocket>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"

namespace velka {
namespace {

constexpr std::size_t c_cbHeader = 12;
constexpr std::uint32_t c_cbMaxData = 64 * 1024;

void PutLe32(std::string& s, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) s += static_cast<char>((v >> (8 * k)) & 0xFF);
}
std::uint32_t GetLe32(const char* p) {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(p[k]);
    return v;
}

} // namespace

std::string EncodeHandOver(const std::u16string& strCmdLine) {
    std::string s = "VLK1";
    PutLe32(s, 0);
    const std::uint32_t cb = strCmdLine.empty() ? 0 : static_cast<std::uint32_t>((strCmdLine.size() + 1) * 2);
    PutLe32(s, cb);
    if (cb) {
        for (char16_t c : strCmdLine) {
            s += static_cast<char>(c & 0xFF);
            s += static_cast<char>(c >> 8);
        }
        s += '\0';
        s += '\0';
    }
    return s;
}

long DecodeHandOver(const char* p, std::size_t cb, std::u16string* pstrCmdLine) {
    if (cb < c_cbHeader) return std::memcmp(p, "VLK1", cb < 4 ? cb : 4) == 0 ? 0 : -1;
    if (std::memcmp(p, "VLK1", 4) != 0) return -1;
    const std::uint32_t dwData = GetLe32(p + 4);
    const std::uint32_t cbData = GetLe32(p + 8);
    if (dwData != 0 || cbData > c_cbMaxData || (cbData & 1)) return -1;
    if (cb < c_cbHeader + cbData) return 0;
    pstrCmdLine->clear();
    for (std::uint32_t k = 0; k + 1 < cbData; k += 2) {
        char16_t c = static_cast<char16_t>(static_cast<unsigned char>(p[c_cbHeader + k]) |
                                           (static_cast<unsigned char>(p[c_cbHeader + k + 1]) << 8));
        if (!c) break;
        *pstrCmdLine += c;
    }
    return static_cast<long>(c_cbHeader + cbData);
}

CSingleInstance::CSingleInstance() = default;

CSingleInstance::~CSingleInstance() {
    Close();
    UnlockStartup();
}

std::string CSingleInstance::SocketPath() { return RuntimeDir() + "/velka.sock"; }

void CSingleInstance::LockStartup() {
    if (m_fdLock >= 0) return;
    m_fdLock = ::open((RuntimeDir() + "/velka.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fdLock < 0) return;
    // A start-up that hangs must not block the next one for ever.
    for (int k = 0; k < 100; ++k) {
        if (::flock(m_fdLock, LOCK_EX | LOCK_NB) == 0) return;
        ::usleep(50 * 1000);
    }
}

void CSingleInstance::UnlockStartup() {
    if (m_fdLock < 0) return;
    ::flock(m_fdLock, LOCK_UN);
    ::close(m_fdLock);
    m_fdLock = -1;
}

HandOverResult CSingleInstance::HandOver(const std::u16string& strCmdLine, int msTimeout) {
    // Only a socket of this user is ever talked to.
    const std::string path = SocketPath();
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != ::geteuid())
        return HandOverResult::NoInstance;
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(path));
    // Nobody listening: a socket left by a killed instance.
    if (!socket.waitForConnected(msTimeout)) return HandOverResult::NoInstance;
    const std::string record = EncodeHandOver(strCmdLine);
    socket.write(record.data(), static_cast<qint64>(record.size()));
    if (!socket.waitForBytesWritten(msTimeout)) return HandOverResult::NotAnswering;
    // The first instance answers once it took the command line; one that
    // accepted the connection but never answers is running but frozen.
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(msTimeout)) return HandOverResult::NotAnswering;
    char c = 0;
    socket.read(&c, 1);
    return c == '1' ? HandOverResult::Accepted : HandOverResult::NotAnswering;
}

bool CSingleInstance::Listen(std::function<void()> fnActivate,
                             std::function<void(const std::u16string&)> fnCommandLine) {
    Close();
    const QString path = QString::fromStdString(SocketPath());
    // A socket left by a killed instance (nobody answered HandOver) or by
    // the instance a restart replaces.
    QLocalServer::removeServer(path);
    m_pServer = std::make_unique<QLocalServer>();
    m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_pServer->listen(path)) {
        m_pServer.reset();
        return false;
    }
    QLocalServer* pServer = m_pServer.get();
    QObject::connect(pServer, &QLocalServer::newConnection, pServer, [pServer, fnActivate, fnCommandLine] {
        while (QLocalSocket* pSocket = pServer->nextPendingConnection()) {
            QObject::connect(pSocket, &QLocalSocket::disconnected, pSocket, &QObject::deleteLater);
            QObject::connect(pSocket, &QLocalSocket::readyRead, pSocket, [pServer, pSocket, fnActivate, fnCommandLine] {
                QByteArray buf = pSocket->property("velka_buf").toByteArray() + pSocket->readAll();
                std::u16string strCmdLine;
                long n = DecodeHandOver(buf.constData(), static_cast<std::size_t>(buf.size()), &strCmdLine);
                if (n < 0) {
                    pSocket->abort();
                    return;
                }
                if (n == 0) {
                    pSocket->setProperty("velka_buf", buf);
                    return;
                }
                pSocket->setProperty("velka_buf", QByteArray());
                pSocket->write("1", 1);
                pSocket->flush();
                // Not from inside the socket's own signal: the command line
                // may show a modal box, whose event loop deletes the socket
                // when the other side hangs up, under this very handler.
                QPointer<QLocalServer> pGuard(pServer);
                QMetaObject::invokeMethod(
                    pServer,
                    [pGuard, fnActivate, fnCommandLine, strCmdLine] {
                        if (!pGuard) return;
                        if (fnActivate) fnActivate();
                        if (!strCmdLine.empty() && fnCommandLine) fnCommandLine(strCmdLine);
                    },
                    Qt::QueuedConnection);
            });
        }
    });
    return true;
}

void CSingleInstance::Close() {
    if (m_pServer) {
        m_pServer->close();
        m_pServer.reset();
    }
}

} // namespace velka
