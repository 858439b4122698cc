// Reading a received reply.
#include "Handles.h"
#include "platform/Export.h"
#include "qelchannel.h"

namespace qel::channel {
namespace {

// The value at `index` when it exists and has `tag`; null otherwise, with
// the status in `status`.
const TQEL_Variant* ValueAt(const qelchannel_reply* reply, int index, uint8_t tag, int& status) {
  if (reply == nullptr || index < 0 ||
      static_cast<size_t>(index) >= reply->Message.Values.size()) {
    status = QELCHANNEL_ERR_ARGUMENT;
    return nullptr;
  }
  const TQEL_Variant& value = reply->Message.Values[static_cast<size_t>(index)];
  if (value.Tag != tag) {
    status = QELCHANNEL_ERR_WRONG_TYPE;
    return nullptr;
  }
  status = QELCHANNEL_OK;
  return &value;
}

}  // namespace
}  // namespace qel::channel

using namespace qel;
using namespace qel::channel;

QEL_EXPORT void qelchannel_reply_free(qelchannel_reply* reply) { delete reply; }

QEL_EXPORT int32_t qelchannel_reply_id(const qelchannel_reply* reply) {
  return reply != nullptr ? reply->Message.Id : 0;
}

QEL_EXPORT int qelchannel_reply_kind(const qelchannel_reply* reply) {
  return reply != nullptr ? reply->Message.Kind : -1;
}

QEL_EXPORT int qelchannel_reply_code(const qelchannel_reply* reply) {
  return reply != nullptr ? reply->Message.Code : -1;
}

QEL_EXPORT int qelchannel_reply_count(const qelchannel_reply* reply) {
  return reply != nullptr ? static_cast<int>(reply->Message.Values.size()) : -1;
}

QEL_EXPORT int qelchannel_reply_type(const qelchannel_reply* reply, int index) {
  if (reply == nullptr || index < 0 || static_cast<size_t>(index) >= reply->Message.Values.size())
    return QELCHANNEL_ERR_ARGUMENT;
  return reply->Message.Values[static_cast<size_t>(index)].Tag;
}

QEL_EXPORT int qelchannel_reply_int(const qelchannel_reply* reply, int index, int32_t* value) {
  int status;
  const TQEL_Variant* v = ValueAt(reply, index, kTagInteger, status);
  if (v != nullptr && value == nullptr) return QELCHANNEL_ERR_ARGUMENT;
  if (v != nullptr) *value = v->AsInteger();
  return status;
}

QEL_EXPORT int qelchannel_reply_double(const qelchannel_reply* reply, int index, double* value) {
  int status;
  const TQEL_Variant* v = ValueAt(reply, index, kTagDouble, status);
  if (v != nullptr && value == nullptr) return QELCHANNEL_ERR_ARGUMENT;
  if (v != nullptr) *value = v->AsDouble();
  return status;
}

QEL_EXPORT int qelchannel_reply_bool(const qelchannel_reply* reply, int index, int* value) {
  int status;
  const TQEL_Variant* v = ValueAt(reply, index, kTagBoolean, status);
  if (v != nullptr && value == nullptr) return QELCHANNEL_ERR_ARGUMENT;
  if (v != nullptr) *value = v->AsBoolean() ? 1 : 0;
  return status;
}

QEL_EXPORT int qelchannel_reply_string(const qelchannel_reply* reply, int index,
                                       const char** bytes, size_t* length) {
  int status;
  const TQEL_Variant* v = ValueAt(reply, index, kTagString, status);
  if (v != nullptr && (bytes == nullptr || length == nullptr)) return QELCHANNEL_ERR_ARGUMENT;
  if (v != nullptr) {
    *bytes = v->Str.c_str();
    *length = v->Str.size();
  }
  return status;
}

QEL_EXPORT int qelchannel_reply_wstring(const qelchannel_reply* reply, int index,
                                        const uint16_t** units, size_t* count) {
  int status;
  const TQEL_Variant* v = ValueAt(reply, index, kTagWideString, status);
  if (v != nullptr && (units == nullptr || count == nullptr)) return QELCHANNEL_ERR_ARGUMENT;
  if (v != nullptr) {
    const std::vector<uint16_t>& own = reply->WideUnits[static_cast<size_t>(index)];
    *units = own.data();
    *count = own.size();
  }
  return status;
}

QEL_EXPORT int qelchannel_reply_bytes(const qelchannel_reply* reply, int index,
                                      const uint8_t** bytes, size_t* length) {
  int status;
  const TQEL_Variant* v = ValueAt(reply, index, kTagBytes, status);
  if (v != nullptr && (bytes == nullptr || length == nullptr)) return QELCHANNEL_ERR_ARGUMENT;
  if (v != nullptr) {
    *bytes = v->Bytes.data();
    *length = v->Bytes.size();
  }
  return status;
}
