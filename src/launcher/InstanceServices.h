// What a launcher instance builds its workflow, its manager and its windows
// from. In a browser these are the plug-in's folder and the operating
// system's services; tests put their own in place before they embed an
// object, and put the defaults back afterwards.
#pragma once

#include <functional>
#include <string>

#include "launch/LaunchServices.h"
#include "net/FileDownloader.h"

namespace qel {

struct TInstanceServices {
  std::function<std::string()> PluginDir;
  std::function<TLaunchServices()> LaunchServices;
  // The class of the workflow's data downloader.
  TFileDownloaderClass DownloaderClass = nullptr;
};

// The services new instances use.
const TInstanceServices& InstanceServices();
// Replaces them; an empty argument brings back the defaults.
void SetInstanceServicesForTesting(TInstanceServices services);

}  // namespace qel
