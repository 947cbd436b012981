#pragma once

#include <QByteArray>

struct MHD_Connection;
struct MHD_Response;

// Queuing answers on a connection, for the server's request handlers.
namespace varnholt::serve {

// Queues the response and lets go of it.
int sendReply(MHD_Connection* connection, unsigned status, MHD_Response* response);

// A short text answer that is never cached.
int sendText(MHD_Connection* connection, unsigned status, const QByteArray& text,
             const char* type = "text/plain; charset=utf-8");

// An empty answer that sends the client to location.
int sendRedirect(MHD_Connection* connection, unsigned status, const QByteArray& location);

}  // namespace varnholt::serve
