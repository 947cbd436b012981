#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <vector>

#include "ContainerListing.h"

class QProcess;

namespace varnholt {

// Asks the installed container engines (the docker and podman commands on
// PATH) which ports their running containers publish. The question runs as a
// child process the event loop watches, so a refresh only ever reads the
// last answer: it may be one refresh old, and an engine that hangs costs the
// refresh nothing. Nothing runs where no engine is installed.
class ContainerProbe {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeLimit{5000};

    explicit ContainerProbe(std::chrono::milliseconds timeLimit = kDefaultTimeLimit);
    ~ContainerProbe();
    ContainerProbe(const ContainerProbe&) = delete;
    ContainerProbe& operator=(const ContainerProbe&) = delete;

    // The ports of each engine's last answer; then asks every installed
    // engine whose last question is not still out once more. Never waits.
    QList<ContainerListing::PublishedPort> poll();
    // Whether some engine's question is still out.
    bool waiting() const;

    // `docker stop ID` or `podman stop ID`, started in the background; false
    // when that engine is not installed or the id is not one.
    static bool stop(const QString& engine, const QString& id);

private:
    struct Engine {
        QString name;
        QStringList arguments;
        std::function<QList<ContainerListing::PublishedPort>(const QByteArray&)> parse;
        QProcess* process = nullptr;
        QList<ContainerListing::PublishedPort> answer{};
        bool answering = false;  // for logging only when that changes
        bool hung = false;       // likewise: a hanging engine is named once
    };

    void ask(Engine& engine, const QString& program);
    void finish(Engine& engine, bool ok);

    std::chrono::milliseconds m_timeLimit;
    std::vector<Engine> m_engines;
    QObject m_context;  // the receiver of the children's signals
};

}  // namespace varnholt
