// Building requests: every limit of the byte format is checked as a part is
// added, so that a request once built always encodes.
#include <cstring>
#include <memory>
#include <string>

#include "Handles.h"
#include "Status.h"
#include "msg/PageCallKind.h"
#include "msg/RequestWriter.h"
#include "msg/ValueList.h"
#include "platform/Export.h"

namespace qel::channel {
namespace {

// Appends the value `make` builds to a call request's arguments.
template <class Make>
int Add(qelchannel_request* request, Make make) {
  if (request == nullptr || !IsCallKind(request->Message.Kind)) return QELCHANNEL_ERR_ARGUMENT;
  if (request->Message.Values.size() >= kMostValues) return QELCHANNEL_ERR_TOO_LARGE;
  return Guarded([&] {
    request->Message.Values.push_back(make());
    return QELCHANNEL_OK;
  });
}

bool HasFrame(uint8_t kind) { return kind == pcCallFrame || kind == pcEvalFrame; }

}  // namespace
}  // namespace qel::channel

using namespace qel;
using namespace qel::channel;

QEL_EXPORT int qelchannel_request_new(int32_t id, int kind, const char* text,
                                      const char* frame_id, qelchannel_request** request) {
  if (request == nullptr) return QELCHANNEL_ERR_ARGUMENT;
  *request = nullptr;
  if (kind < pcCallWindow || kind > pcEvalFrame || text == nullptr) return QELCHANNEL_ERR_ARGUMENT;
  const auto kind_byte = static_cast<uint8_t>(kind);
  if (HasFrame(kind_byte) && frame_id == nullptr) return QELCHANNEL_ERR_ARGUMENT;
  const size_t text_length = std::strlen(text);
  // Evaluated script text runs to the end of the block; names have a length byte.
  if (IsCallKind(kind_byte) && text_length > kLongestShortText) return QELCHANNEL_ERR_TOO_LARGE;
  if (HasFrame(kind_byte) && std::strlen(frame_id) > kLongestShortText)
    return QELCHANNEL_ERR_TOO_LARGE;
  return Guarded([&] {
    auto built = std::make_unique<qelchannel_request>();
    built->Message.Id = id;
    built->Message.Kind = kind_byte;
    built->Message.Text.assign(text, text_length);
    if (HasFrame(kind_byte)) built->Message.ObjectName = frame_id;
    *request = built.release();
    return QELCHANNEL_OK;
  });
}

QEL_EXPORT void qelchannel_request_free(qelchannel_request* request) { delete request; }

QEL_EXPORT int qelchannel_request_add_empty(qelchannel_request* request) {
  return Add(request, [] { return TQEL_Variant::Empty(); });
}

QEL_EXPORT int qelchannel_request_add_int(qelchannel_request* request, int32_t value) {
  return Add(request, [&] { return TQEL_Variant::Integer(value); });
}

QEL_EXPORT int qelchannel_request_add_double(qelchannel_request* request, double value) {
  return Add(request, [&] { return TQEL_Variant::Double(value); });
}

QEL_EXPORT int qelchannel_request_add_bool(qelchannel_request* request, int value) {
  return Add(request, [&] { return TQEL_Variant::Boolean(value != 0); });
}

QEL_EXPORT int qelchannel_request_add_string(qelchannel_request* request, const char* bytes,
                                             size_t length) {
  if (bytes == nullptr && length != 0) return QELCHANNEL_ERR_ARGUMENT;
  if (length > kLongestString) return request ? QELCHANNEL_ERR_TOO_LARGE : QELCHANNEL_ERR_ARGUMENT;
  return Add(request, [&] { return TQEL_Variant::String(std::string(bytes, length)); });
}

QEL_EXPORT int qelchannel_request_add_wstring(qelchannel_request* request, const uint16_t* units,
                                              size_t count) {
  if (units == nullptr && count != 0) return QELCHANNEL_ERR_ARGUMENT;
  if (count > kLongestString) return request ? QELCHANNEL_ERR_TOO_LARGE : QELCHANNEL_ERR_ARGUMENT;
  return Add(request, [&] { return TQEL_Variant::WideString(std::u16string(units, units + count)); });
}

QEL_EXPORT int qelchannel_request_add_bytes(qelchannel_request* request, const uint8_t* bytes,
                                            size_t length) {
  if (bytes == nullptr && length != 0) return QELCHANNEL_ERR_ARGUMENT;
  if (length > kLongestByteArray) return request ? QELCHANNEL_ERR_TOO_LARGE : QELCHANNEL_ERR_ARGUMENT;
  return Add(request, [&] { return TQEL_Variant::ByteArray(TByteArrayParam(bytes, bytes + length)); });
}
