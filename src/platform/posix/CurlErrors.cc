#include "platform/posix/CurlErrors.h"

#include "platform/HttpTransfer.h"

namespace qel {

int32_t HttpErrorNumberOf(CURLcode code) {
  switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
      return kHttpErrorUnrecognizedScheme;
    case CURLE_URL_MALFORMAT:
      return kHttpErrorInvalidUrl;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
      return kHttpErrorNameNotResolved;
    case CURLE_COULDNT_CONNECT:
      return kHttpErrorCannotConnect;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
    case CURLE_BAD_CONTENT_ENCODING:
      return kHttpErrorInvalidServerResponse;
    case CURLE_PARTIAL_FILE:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return kHttpErrorConnectionError;
    case CURLE_OUT_OF_MEMORY:
      return kHttpErrorNotEnoughMemory;
    case CURLE_OPERATION_TIMEDOUT:
      return kHttpErrorTimeout;
    case CURLE_ABORTED_BY_CALLBACK:
      return kHttpErrorOperationCancelled;
    case CURLE_TOO_MANY_REDIRECTS:
      return kHttpErrorRedirectFailed;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
      return kHttpErrorSecureFailure;
    default:
      return kHttpErrorInternal;
  }
}

int32_t HttpErrorNumberOf(CURLMcode code) {
  return code == CURLM_OUT_OF_MEMORY ? kHttpErrorNotEnoughMemory : kHttpErrorInternal;
}

std::string DescribeCurlFailure(CURLcode code, const char* detail) {
  std::string text = "curl error " + std::to_string(static_cast<int>(code)) + ": " +
                     curl_easy_strerror(code);
  std::string more = detail != nullptr ? detail : "";
  while (!more.empty() && (more.back() == '\n' || more.back() == '\r')) more.pop_back();
  if (!more.empty()) text.append(" (").append(more).append(")");
  return text;
}

std::string DescribeCurlFailure(CURLMcode code) {
  return "curl multi error " + std::to_string(static_cast<int>(code)) + ": " +
         curl_multi_strerror(code);
}

}  // namespace qel
