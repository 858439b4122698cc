// At load, the launcher registers its instance class for its MIME type.
#include "host/PluginRegistry.h"
#include "launcher/FormLoaderPlugin.h"
#include "platform/LastResort.h"

namespace qel {
namespace {

struct TLauncherRegistration {
  TLauncherRegistration() {
    try {
      Plugins().RegisterPlugin(&TFormLoaderPlugin::Create, "application/qellauncher");
    } catch (...) {
      ReportCurrentException();
    }
  }
} Registration;

}  // namespace
}  // namespace qel
