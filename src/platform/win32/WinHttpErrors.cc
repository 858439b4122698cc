#include "platform/win32/WinHttpErrors.h"

#include "platform/HttpTransfer.h"

namespace qel {
namespace {

// Winsock's numbers for the conditions that WinHTTP has numbers of its own for.
constexpr unsigned long kSocketConnectionAborted = 10053;
constexpr unsigned long kSocketConnectionReset = 10054;
constexpr unsigned long kSocketTimedOut = 10060;
constexpr unsigned long kSocketConnectionRefused = 10061;

}  // namespace

int32_t HttpErrorNumberOf(unsigned long error) {
  switch (error) {
    case kSocketTimedOut:
      return kHttpErrorTimeout;
    case kSocketConnectionRefused:
      return kHttpErrorCannotConnect;
    case kSocketConnectionAborted:
    case kSocketConnectionReset:
      return kHttpErrorConnectionError;
    default:
      return static_cast<int32_t>(error);
  }
}

std::string DescribeWinHttpError(int32_t number) {
  const char* text = nullptr;
  switch (number) {
    case kHttpErrorNotEnoughMemory:
      text = "not enough memory";
      break;
    case kHttpErrorNotSupported:
      text = "not supported";
      break;
    case kHttpErrorInvalidParameter:
      text = "an invalid parameter";
      break;
    case kHttpErrorTimeout:
      text = "the operation timed out";
      break;
    case kHttpErrorInternal:
      text = "an internal error of the HTTP service";
      break;
    case kHttpErrorInvalidUrl:
      text = "the URL is invalid";
      break;
    case kHttpErrorUnrecognizedScheme:
      text = "the URL's scheme is not http or https";
      break;
    case kHttpErrorNameNotResolved:
      text = "the server's name could not be resolved";
      break;
    case kHttpErrorOperationCancelled:
      text = "the operation was cancelled";
      break;
    case kHttpErrorIncorrectHandleState:
      text = "the request is not in a state for this";
      break;
    case kHttpErrorCannotConnect:
      text = "the connection to the server could not be made";
      break;
    case kHttpErrorConnectionError:
      text = "the connection to the server was reset or ended early";
      break;
    case kHttpErrorHeaderNotFound:
      text = "the header was not found";
      break;
    case kHttpErrorInvalidServerResponse:
      text = "the server's response could not be understood";
      break;
    case kHttpErrorRedirectFailed:
      text = "the redirect could not be followed";
      break;
    case kHttpErrorSecureFailure:
      text = "the secure connection could not be made";
      break;
    default:
      break;
  }
  const std::string suffix = " (error " + std::to_string(number) + ")";
  return text != nullptr ? text + suffix : "an HTTP service failure" + suffix;
}

}  // namespace qel
