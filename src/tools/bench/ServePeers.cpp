#include "ServePeers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <unistd.h>

#include "BenchListeners.h"

namespace varnholt::bench {

namespace {

QByteArray readProc(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The kB value of a /proc/PID/status line ("VmRSS:", "VmHWM:").
double statusKb(qint64 pid, const char* field) {
    for (const QByteArray& line :
         readProc(QStringLiteral("/proc/%1/status").arg(pid)).split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').value(0).toDouble();
        }
    }
    return 0;
}

// The processes whose parent is pid (nginx's workers).
QList<qint64> childrenOf(qint64 pid) {
    QList<qint64> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool ok = false;
        const qint64 candidate = entry.toLongLong(&ok);
        if (!ok) {
            continue;
        }
        const QByteArray stat = readProc(QStringLiteral("/proc/%1/stat").arg(candidate));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toLongLong() == pid) {
            children << candidate;
        }
    }
    return children;
}

class VarnholtPeer : public Peer {
public:
    explicit VarnholtPeer(QString server) : Peer("varnholt"), m_server(std::move(server)) {}

protected:
    QStringList command(const QString& folder, quint16 port) override {
        return {m_server, "--bind", "127.0.0.1", "--port", QString::number(port), folder};
    }

private:
    QString m_server;
};

class PythonPeer : public Peer {
public:
    PythonPeer() : Peer("python") {}

protected:
    QStringList command(const QString& folder, quint16 port) override {
        return {"/usr/bin/python3", "-m",        "http.server", QString::number(port),
                "--bind",           "127.0.0.1", "--directory", folder};
    }
};

class NginxPeer : public Peer {
public:
    explicit NginxPeer(QString folder) : Peer("nginx"), m_folder(std::move(folder)) {}

protected:
    QStringList command(const QString& folder, quint16 port) override {
        QDir().mkpath(m_folder + "/temp");
        QFile conf(m_folder + "/nginx.conf");
        if (!conf.open(QIODevice::WriteOnly)) {
            m_error = QStringLiteral("cannot write %1").arg(conf.fileName());
            return {};
        }
        // Its best case for static files: sendfile, keep-alive without a
        // limit, no access log; a worker per core.
        const QString text =
            QStringLiteral(
                "%1daemon off;\nmaster_process on;\nworker_processes auto;\n"
                "pid %2/nginx.pid;\nerror_log %2/error.log;\n"
                "events { worker_connections 4096; }\n"
                "http {\n  access_log off;\n  sendfile on;\n  tcp_nopush on;\n"
                "  keepalive_requests 1000000;\n  default_type application/octet-stream;\n"
                "  client_body_temp_path %2/temp/body;\n  proxy_temp_path %2/temp/proxy;\n"
                "  fastcgi_temp_path %2/temp/fastcgi;\n  uwsgi_temp_path %2/temp/uwsgi;\n"
                "  scgi_temp_path %2/temp/scgi;\n"
                "  server { listen 127.0.0.1:%3; root %4; }\n}\n")
                .arg(::geteuid() == 0 ? QStringLiteral("user root;\n") : QString(), m_folder)
                .arg(port)
                .arg(folder);
        conf.write(text.toUtf8());
        conf.close();
        return {"/usr/sbin/nginx", "-p", m_folder, "-c", conf.fileName()};
    }

private:
    QString m_folder;
};

}  // namespace

Peer::~Peer() {
    stop();
}

bool Peer::start(const QString& folder, quint16 port) {
    stop();
    const QStringList argv = command(folder, port);
    if (argv.isEmpty()) {
        return false;
    }
    m_process = std::make_unique<QProcess>();
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    m_process->start(argv.first(), argv.mid(1));
    if (!m_process->waitForStarted(5000)) {
        m_error = QStringLiteral("%1 could not be started").arg(argv.first());
        m_process.reset();
        return false;
    }
    trackChild(m_process->processId());
    while (clock.elapsed() < 30000) {
        if (acceptsOnLoopback(port)) {
            m_listenedAfterNs = clock.nsecsElapsed();
            return true;
        }
        if (m_process->state() == QProcess::NotRunning) {
            break;
        }
        QThread::usleep(500);
    }
    m_error = QStringLiteral("%1 never listened on port %2").arg(argv.first()).arg(port);
    stop();
    return false;
}

void Peer::stop() {
    if (m_process) {
        stopAndWait({m_process.get()});
        m_process.reset();
    }
}

double Peer::sumOf(const char* field) const {
    if (!m_process) {
        return 0;
    }
    const qint64 pid = m_process->processId();
    double kb = statusKb(pid, field);
    for (const qint64 child : childrenOf(pid)) {
        kb += statusKb(child, field);
    }
    return kb * 1024 / 1e6;
}

double Peer::rssMB() const {
    return sumOf("VmRSS:");
}

double Peer::peakRssMB() const {
    return sumOf("VmHWM:");
}

std::unique_ptr<Peer> varnholtPeer(const QString& server) {
    return std::make_unique<VarnholtPeer>(server);
}

std::unique_ptr<Peer> pythonPeer() {
    return std::make_unique<PythonPeer>();
}

std::unique_ptr<Peer> nginxPeer(const QString& folder) {
    return std::make_unique<NginxPeer>(folder);
}

}  // namespace varnholt::bench
