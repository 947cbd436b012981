#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <sys/types.h>

#include <memory>

#include "ReceivedFolder.h"

struct MHD_Connection;
struct MHD_PostProcessor;

namespace varnholt::serve {

// One upload request: the multipart body read by libmicrohttpd's post
// processor, each file part written to a temporary of its own in Received.
// All or nothing: the files get their final names only once the whole body
// has come; a failure, a cut-off client or a timeout removes every
// temporary, so no half file ever shows.
class UploadReceiver {
public:
    struct Settings {
        int packageFd = -1;
        qint64 maxFileBytes = 0;
        mode_t mode = 0644;
        QString sender;       // the client's address, for the record
        QByteArray returnTo;  // the URL of the folder the form was sent to
    };
    UploadReceiver(MHD_Connection* connection, std::unique_ptr<ReceivedFolder> folder,
                   Settings settings);
    // A request refused before its body, which is read and dropped before
    // the refusal is answered.
    static UploadReceiver* refused(unsigned status);
    ~UploadReceiver();
    UploadReceiver(const UploadReceiver&) = delete;
    UploadReceiver& operator=(const UploadReceiver&) = delete;

    // False when the body is no multipart form the processor can read.
    bool valid() const { return m_processor != nullptr; }
    // Reads the next bytes of the body; after a failure they are dropped.
    void feed(const char* data, size_t size);
    const QByteArray& returnTo() const { return m_settings.returnTo; }
    // The HTTP status of the failure, 0 while all is well.
    unsigned failure() const { return m_failure; }
    // Whether the failure has been answered before the body's end.
    bool answered() const { return m_answered; }
    void setAnswered() { m_answered = true; }
    // The body's bytes fed so far.
    qint64 fed() const { return m_fed; }
    // Whether the body came whole and finish() has run.
    bool finished() const { return m_finished; }
    // Whether it holds one of the server's upload slots.
    bool counted() const { return m_counted; }

    struct Outcome {
        unsigned status = 0;      // 200 when every file was saved
        QList<QByteArray> names;  // the final names, in the body's order
    };
    // Ends the body: saves every file under its final name and records it.
    Outcome finish();

    // The connection's client address as text, IPv4-mapped IPv6 as IPv4.
    static QString senderOf(MHD_Connection* connection);

    // The post processor's callback: a piece of a field's value at offset.
    bool take(const char* filename, const char* data, uint64_t offset, size_t size);

private:
    struct Incoming {
        QByteArray given;      // the name the client sent
        QByteArray temporary;  // empty once removed or published
        qint64 size = 0;
    };
    bool startFile(const char* filename);
    bool write(Incoming& part, const char* data, size_t size);
    void endFile();
    void fail(unsigned status, const QString& why);
    void removeTemporaries();

    std::unique_ptr<ReceivedFolder> m_folder;
    Settings m_settings;
    MHD_PostProcessor* m_processor = nullptr;
    QList<Incoming> m_parts;
    int m_fd = -1;  // the last part's temporary while it is written
    unsigned m_failure = 0;
    bool m_answered = false;
    bool m_finished = false;
    bool m_counted = true;
    qint64 m_fed = 0;
};

}  // namespace varnholt::serve
