// The request-path parser: whatever the request line holds, an accepted
// path walks only single, servable names, and the links the listing makes
// of them lead back to the same names.
#include "FuzzInput.h"
#include "serve/RequestPath.h"
#include "serve/ServedNames.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnholt;
    using serve::RequestPath;
    const QByteArray raw = fuzz::bytes(data, size);
    const RequestPath path = serve::parseRequestPath(raw);
    if (path.status != RequestPath::Status::Ok) {
        fuzz::require(path.names.isEmpty());
        return 0;
    }
    QByteArray link;
    for (const QByteArray& name : path.names) {
        fuzz::require(!name.isEmpty() && !name.contains('/') && !name.contains('\0'));
        fuzz::require(name != "." && name != ".." && serve::isServableName(name));
        link += '/' + serve::percentEncoded(name);
    }
    const RequestPath back = serve::parseRequestPath(link.isEmpty() ? QByteArray("/") : link);
    fuzz::require(back.status == RequestPath::Status::Ok && back.names == path.names);
    return 0;
}
