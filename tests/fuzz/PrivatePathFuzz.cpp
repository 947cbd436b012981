// The private prefix: whatever the request line holds, only the exact token
// opens it, and what is left is a path of its own.
#include "FuzzInput.h"
#include "serve/PrivatePath.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnholt;
    using serve::PrivatePath;
    const QList<QByteArray> input = fuzz::parts(fuzz::bytes(data, size), '\n', 2);
    const QByteArray& token = input[0];
    const QByteArray& raw = input[1];
    const PrivatePath path = serve::splitPrivatePath(raw, token);
    const QByteArray prefix = serve::privatePrefix(token);
    switch (path.status) {
        case PrivatePath::Status::Ok:
            fuzz::require(!token.isEmpty() && path.rest.startsWith('/'));
            fuzz::require(prefix + path.rest == raw);
            break;
        case PrivatePath::Status::Redirect:
            fuzz::require(!token.isEmpty() && raw == prefix && path.rest.isEmpty());
            break;
        case PrivatePath::Status::NotFound:
            fuzz::require(path.rest.isEmpty());
            fuzz::require(token.isEmpty() || token.contains('/') ||
                          (raw != prefix && !raw.startsWith(prefix + '/')));
            break;
    }
    fuzz::require(serve::sameToken(token, token));
    return 0;
}
