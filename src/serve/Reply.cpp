#include "Reply.h"

#include <microhttpd.h>

namespace varnholt::serve {

int sendReply(MHD_Connection* connection, unsigned status, MHD_Response* response) {
    const MHD_Result result = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return result;
}

int sendText(MHD_Connection* connection, unsigned status, const QByteArray& text,
             const char* type) {
    MHD_Response* response = MHD_create_response_from_buffer(
        size_t(text.size()), const_cast<char*>(text.constData()), MHD_RESPMEM_MUST_COPY);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-cache");
    return sendReply(connection, status, response);
}

int sendRedirect(MHD_Connection* connection, unsigned status, const QByteArray& location) {
    MHD_Response* response = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
    MHD_add_response_header(response, MHD_HTTP_HEADER_LOCATION, location.constData());
    return sendReply(connection, status, response);
}

bool drainBeforeAnswer(MHD_Connection* connection) {
    const char* expect =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_EXPECT);
    bool known = false;
    const long long length = QByteArray(MHD_lookup_connection_value(connection, MHD_HEADER_KIND,
                                                                    MHD_HTTP_HEADER_CONTENT_LENGTH))
                                 .toLongLong(&known);
    return expect == nullptr && known && length > 0 && length <= kDropBytes;
}

}  // namespace varnholt::serve
