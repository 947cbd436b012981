// varnholt-serve [--bind ADDRESS] [--allow-uploads] --port PORT PACKAGE_FOLDER
// Serves one package folder over HTTP until SIGTERM or SIGINT; privately,
// under "/s/TOKEN/" only, when VARNHOLT_SERVE_TOKEN holds a token. The token
// comes by the environment, never the command line, which any user of the
// machine can read. With --allow-uploads a private server saves visitors'
// files in the package's "Received" folder, each of at most
// VARNHOLT_SERVE_MAX_UPLOAD bytes.
#include <QByteArray>
#include <QString>

#include <signal.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>

#include "FileServer.h"
#include "Log.h"
#include "PackageTree.h"
#include "PrivatePath.h"

namespace {

struct Options {
    QByteArray bind = "0.0.0.0";
    int port = -1;
    QByteArray folder;
    bool uploads = false;
};

// A phone's videos fit; a disk does not fill from one mistaken file.
constexpr qint64 kDefaultMaxUpload = 4'000'000'000;

int usage() {
    std::fprintf(stderr,
                 "usage: varnholt-serve [--bind ADDRESS] [--allow-uploads] --port PORT "
                 "PACKAGE_FOLDER\n");
    return 2;
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--allow-uploads") {
            options.uploads = true;
        } else if ((arg == "--bind" || arg == "--port") && i + 1 < argc) {
            const QByteArray value(argv[++i]);
            if (arg == "--bind") {
                options.bind = value;
                continue;
            }
            bool ok = false;
            options.port = value.toInt(&ok);
            if (!ok || options.port < 1 || options.port > 65535) {
                return false;
            }
        } else if (!arg.startsWith("--") && options.folder.isEmpty()) {
            options.folder = arg;
        } else {
            return false;
        }
    }
    return options.port > 0 && !options.folder.isEmpty();
}

// The private link's token, empty when serving openly; false when the
// variable holds something that is no token. Never printed: a wrong token
// may still be close to the right one.
bool readToken(QByteArray& token) {
    token = qgetenv("VARNHOLT_SERVE_TOKEN");
    return token.isEmpty() || varnholt::serve::isValidToken(token);
}

// The largest file a visitor may upload, or 0 when the variable is no
// positive number of bytes.
qint64 readMaxUpload() {
    const QByteArray text = qgetenv("VARNHOLT_SERVE_MAX_UPLOAD");
    if (text.isEmpty()) {
        return kDefaultMaxUpload;
    }
    bool ok = false;
    const qint64 bytes = text.toLongLong(&ok);
    return ok && bytes > 0 ? bytes : 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace varnholt;
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("varnholt-serve %s\n", VARNHOLT_VERSION);
        return 0;
    }
    Options options;
    if (!parse(argc, argv, options)) {
        return usage();
    }
    QByteArray token;
    if (!readToken(token)) {
        std::fprintf(stderr,
                     "varnholt-serve: VARNHOLT_SERVE_TOKEN must be 16 to 128 characters of "
                     "A-Z, a-z, 0-9, '-' and '_'\n");
        return 2;
    }
    const qint64 maxUpload = options.uploads ? readMaxUpload() : 0;
    if (options.uploads && maxUpload == 0) {
        std::fprintf(stderr,
                     "varnholt-serve: VARNHOLT_SERVE_MAX_UPLOAD must be a number of bytes\n");
        return 2;
    }
    // A zip's client going away shows as a failed write, not as a signal;
    // the stop signals are waited for below, by the main thread alone (the
    // server's threads inherit the mask).
    ::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::unique_ptr<serve::PackageTree> tree = serve::PackageTree::open(options.folder);
    if (!tree) {
        qCWarning(lcServe).noquote()
            << "Cannot open the package folder" << QString::fromLocal8Bit(options.folder);
        return 1;
    }
    // The working folder names the server in a listing of processes.
    if (::chdir(options.folder.constData()) != 0) {
        qCWarning(lcServe).noquote() << "Cannot enter" << QString::fromLocal8Bit(options.folder);
    }
    const bool privately = !token.isEmpty();
    if (options.uploads && !privately) {
        qCWarning(lcServe) << "Uploads are refused: they need a private link";
    }
    serve::FileServer server(std::move(tree), std::move(token), maxUpload);
    if (!server.listen(options.bind, quint16(options.port))) {
        qCWarning(lcServe).noquote() << QStringLiteral("Cannot listen on %1 port %2")
                                            .arg(QString::fromUtf8(options.bind))
                                            .arg(options.port);
        return 1;
    }
    qCInfo(lcServe).noquote()
        << QStringLiteral("Serving %1 on %2 port %3%4")
               .arg(QString::fromLocal8Bit(options.folder), QString::fromUtf8(options.bind))
               .arg(options.port)
               .arg(privately ? QStringLiteral(", by private link only%1")
                                    .arg(maxUpload > 0 ? QStringLiteral(", uploads on") : QString())
                              : QString());
    int received = 0;
    sigwait(&stopSignals, &received);
    // Nothing to flush: every response is read from the files themselves.
    // Waiting for open transfers could take longer than the second a stop
    // allows before it kills.
    std::_Exit(0);
}
