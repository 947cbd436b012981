#pragma once

#include <QByteArray>

#include <sys/types.h>

#include <atomic>
#include <cstddef>

struct MHD_Connection;

namespace varnholt::serve {

class PackageTree;
class UploadReceiver;

// The file server's side for visitors' uploads (POST of a multipart form to
// a folder's URL): who may upload, how much, and how many at once. Only a
// private server takes uploads, so nobody on the network can fill the disk
// of a machine that did not ask.
class UploadHandler {
public:
    // Uploads at once; more wait for a 503 and a retry.
    static constexpr int kUploadLimit = 4;
    // A phone's upload stalls now and then (the screen locks, the network
    // changes): longer than the idle time of other requests.
    static constexpr unsigned kIdleSeconds = 60;

    // token empty: the server is not private, and every upload is refused.
    UploadHandler(const PackageTree& tree, QByteArray token, qint64 maxFileBytes);

    // The first call for a POST: either an answer queued at once (a refusal)
    // or *state set to the request's receiver.
    int begin(MHD_Connection* connection, const char* url, void** state);
    // The later calls: bytes of the body, or (size 0) its end.
    int proceed(MHD_Connection* connection, UploadReceiver& receiver, const char* data,
                size_t* size);
    // The request is over, answered or cut off: its receiver goes, taking
    // every file not yet saved with it.
    void ended(UploadReceiver* receiver, bool completed);

private:
    // The status a POST is refused with, 0 when it is let in.
    unsigned refusal(MHD_Connection* connection, const char* url, QByteArray& folderUrl);
    // Answers a refusal now, or after the short body the client sends anyway.
    int refuse(MHD_Connection* connection, unsigned status, void** state);
    static int answerFailure(MHD_Connection* connection, unsigned status);

    const PackageTree& m_tree;
    QByteArray m_token;
    QByteArray m_prefix;
    qint64 m_maxFileBytes;
    mode_t m_mode;
    std::atomic<int> m_active{0};
};

}  // namespace varnholt::serve
