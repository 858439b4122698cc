#include "launcher/InstanceServices.h"

#include "net/HttpDownloader.h"
#include "platform/PluginFolder.h"

namespace qel {
namespace {

TInstanceServices Defaults() {
  return {[] { return PluginDir(); }, &DefaultLaunchServices, &THttpDownloader::Create};
}

TInstanceServices& Current() {
  static TInstanceServices services = Defaults();
  return services;
}

}  // namespace

const TInstanceServices& InstanceServices() { return Current(); }

void SetInstanceServicesForTesting(TInstanceServices services) {
  Current() = services.PluginDir ? std::move(services) : Defaults();
}

}  // namespace qel
