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

// After a refusal, the most of a body read on only to be dropped.
inline constexpr long long kDropBytes = 16 * 1024 * 1024;

// Whether a request refused before its body should still read that body:
// a short one that the client sends anyway (no "Expect: 100-continue").
// Closing on unread bytes makes the system reset the connection, and the
// client may lose the answer with it.
bool drainBeforeAnswer(MHD_Connection* connection);

}  // namespace varnholt::serve
