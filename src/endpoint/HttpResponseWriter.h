// The answer on the wire: status line, the fixed headers every response carries, the body;
// and what the server answers to each outcome of reading a request.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "endpoint/HttpMessage.h"
#include "endpoint/HttpRequestReader.h"

namespace trs {

// "OK", "Internal Server Error", "Payload Too Large", ...; "Unknown" for codes not listed.
const char* HttpReasonPhrase(int status);

// The full response: "HTTP/1.1 <code> <reason>", Content-Type: text/html, Content-Length only
// for a non-empty body, Connection: close (one request per connection), the CORS headers
// that let any page call us, then the body. No cookies.
std::string FormatHttpResponse(const THttpResponse& response);

// What to answer to a read outcome. nullopt: close without answering. A request goes to
// the handler, except OPTIONS, which gets the standard response with an empty body (plus
// the private-network permission when the preflight asks for it). This is the one place
// where an escaped exception or a broken limit becomes an answer: 500 with the message,
// 413, 408, 503.
std::optional<THttpResponse> AnswerHttpRequest(THttpReadResult result, const THttpRequest& request,
                                               const THttpHandler& handler,
                                               uint64_t maxBodySize = HttpDefaultMaxBodySize,
                                               uint64_t requestMemory = HttpDefaultRequestMemory);

}  // namespace trs
