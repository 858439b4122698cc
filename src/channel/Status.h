// The C API's boundary: no exception leaves the library, each becomes a status.
#pragma once

#include <new>

#include "platform/CopyDataEndpoint.h"
#include "qelchannel.h"

namespace qel::channel {

// Runs `body` (which answers a status) and turns what escapes it into one.
template <class Body>
int Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return QELCHANNEL_ERR_NO_MEMORY;
  } catch (const EWindowTaken&) {
    return QELCHANNEL_ERR_IN_USE;
  } catch (...) {
    return QELCHANNEL_ERR_SYSTEM;
  }
}

}  // namespace qel::channel
