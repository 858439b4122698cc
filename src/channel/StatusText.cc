#include "platform/Export.h"
#include "qelchannel.h"

QEL_EXPORT const char* qelchannel_status_text(int status) {
  switch (status) {
    case QELCHANNEL_OK:
      return "success";
    case QELCHANNEL_TIMEOUT:
      return "no reply within the time given";
    case QELCHANNEL_ERR_ARGUMENT:
      return "invalid argument";
    case QELCHANNEL_ERR_TOO_LARGE:
      return "too many values, or a text or value too long";
    case QELCHANNEL_ERR_IN_USE:
      return "another channel listens on the game window";
    case QELCHANNEL_ERR_NO_PLUGIN:
      return "nobody listens on the plug-in window";
    case QELCHANNEL_ERR_PLUGIN_BUSY:
      return "the plug-in window did not take the request in time";
    case QELCHANNEL_ERR_WRONG_TYPE:
      return "the value has another type";
    case QELCHANNEL_ERR_NO_MEMORY:
      return "out of memory";
    case QELCHANNEL_ERR_SYSTEM:
      return "the system refused";
    default:
      return "unknown status";
  }
}
