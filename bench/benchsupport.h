#pragma once
// Shared by the benches: the environment they run in, milliseconds from a
// timer and, for the transfer benches, a folder of large files with distinct
// contents, served by python3 -m http.server in another process on
// 127.0.0.1, a check that a fetched copy is complete and correct, and the
// process's resident memory figures.
#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <cstdio>

namespace bench {

// Before the QApplication: Qt's offscreen platform unless one is chosen, the
// browser engine without its sandbox when the bench uses it, and the
// program's settings and data in home.
inline void prepareEnvironment(const QTemporaryDir &home, bool browser = false)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (browser && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("VELMORA_HOME", home.path().toLocal8Bit());
}

inline double ms(const QElapsedTimer &t) { return t.nsecsElapsed() / 1e6; }

// A "kB" field of /proc/self/status (VmRSS, VmHWM), or -1.
inline qint64 statusKb(const char *field)
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Starts the peak-memory figure (VmHWM) afresh at the current size.
inline void resetPeak()
{
    QFile f("/proc/self/clear_refs");
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

inline quint16 freePort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

inline bool waitForServer(quint16 port)
{
    for (int i = 0; i < 100; ++i) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (s.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    return false;
}

inline QByteArray sha1Of(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha1);
    h.addData(&f);
    return h.result();
}

// Files file1.bin .. fileN.bin in folder, each of `size` bytes. Every file
// gets its own byte pattern, so a body written under the wrong name (or two
// transfers mixed up) shows in the digest.
struct ServedFiles {
    QStringList names;
    QList<QByteArray> digests;
    qint64 size = 0;

    bool make(const QString &folder, int count, qint64 bytes)
    {
        size = bytes;
        QDir().mkpath(folder);
        QByteArray block(1024 * 1024, Qt::Uninitialized);
        for (int n = 1; n <= count; ++n) {
            const QString name = QStringLiteral("file%1.bin").arg(n);
            QFile f(folder + QLatin1Char('/') + name);
            if (!f.open(QIODevice::WriteOnly))
                return false;
            QCryptographicHash h(QCryptographicHash::Sha1);
            for (qint64 done = 0; done < bytes; done += block.size()) {
                const qint64 len = std::min<qint64>(block.size(), bytes - done);
                for (qint64 i = 0; i < len; ++i)
                    block[i] = char((done + i) * (131 + 2 * n) + ((done + i) >> 12) + n);
                const QByteArrayView piece(block.constData(), len);
                if (f.write(piece.data(), piece.size()) != piece.size())
                    return false;
                h.addData(piece);
            }
            names << name;
            digests << h.result();
        }
        return true;
    }

    // Whether folder/names[i] is present, of the right length and content.
    bool intact(const QString &folder, int i) const
    {
        const QString path = folder + QLatin1Char('/') + names[i];
        return QFileInfo(path).size() == size && sha1Of(path) == digests[i];
    }
};

// python3 -m http.server on 127.0.0.1 in its own process, for as long as
// this object lives.
class LoopbackServer {
public:
    bool start(const QString &folder)
    {
        m_port = freePort();
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice()); // its request log
        m_process.start("python3", {"-m", "http.server", QString::number(m_port), "--bind", "127.0.0.1",
                                    "--directory", folder});
        if (!m_process.waitForStarted() || !waitForServer(m_port)) {
            std::printf("could not start the loopback server\n");
            return false;
        }
        return true;
    }
    ~LoopbackServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            m_process.waitForFinished(3000);
        }
    }
    QString url(const QString &name) const { return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_port).arg(name); }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

// Writes `count` files of `bytes` into folder and starts the server on them;
// says on standard output what failed.
inline bool serve(ServedFiles &files, LoopbackServer &server, const QString &folder, int count, qint64 bytes)
{
    if (!files.make(folder, count, bytes)) {
        std::printf("could not write the served files\n");
        return false;
    }
    return server.start(folder);
}

} // namespace bench
