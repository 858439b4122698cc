#include "ModulePluginEntry.h"

#include "platform/Export.h"

namespace qel::test {
namespace {

using InitializeFunction = NPError(QEL_OSCALL*)(QEL_NP_INITIALIZE_PARAMETERS);
using EntryPointsFunction = NPError(QEL_OSCALL*)(NPPluginFuncs*);
using ShutdownFunction = NPError(QEL_OSCALL*)();
using DescriptionFunction = const char* (*)();

struct TExports {
  InitializeFunction Initialize = nullptr;
  EntryPointsFunction GetEntryPoints = nullptr;
  ShutdownFunction Shutdown = nullptr;
  DescriptionFunction MimeDescription = nullptr;
};
TExports g_exports;

// As the platform's browsers call them: where NP_Initialize does not take
// the plug-in's table, the browser asks NP_GetEntryPoints for it.
NPError Initialize(NPNetscapeFuncs* browser, NPPluginFuncs* plugin) {
  const NPError error = QEL_NP_INITIALIZE_CALL(g_exports.Initialize, browser, plugin);
  if (error != NPERR_NO_ERROR || plugin->newp != nullptr) return error;
  return g_exports.GetEntryPoints(plugin);
}

NPError Shutdown() { return g_exports.Shutdown(); }

}  // namespace

TModulePlugin::TModulePlugin(const std::string& path) : Module_(DefaultModuleLoader().Load(path)) {
  if (Module_ == nullptr) {
    Failure_ = "cannot load " + path;
    return;
  }
  const auto find = [&](const char* name) {
    void* entry = Module_->Entry(name);
    if (entry == nullptr) Failure_ += std::string(Failure_.empty() ? "" : ", ") + name + " is missing";
    return entry;
  };
  g_exports.Initialize = reinterpret_cast<InitializeFunction>(find("NP_Initialize"));
  g_exports.GetEntryPoints = reinterpret_cast<EntryPointsFunction>(find("NP_GetEntryPoints"));
  g_exports.Shutdown = reinterpret_cast<ShutdownFunction>(find("NP_Shutdown"));
  g_exports.MimeDescription = reinterpret_cast<DescriptionFunction>(find("NP_GetMIMEDescriptionFunc"));
}

TModulePlugin::~TModulePlugin() { g_exports = {}; }

PluginEntry TModulePlugin::Entry() const { return {&Initialize, &Shutdown}; }

std::optional<std::string> TModulePlugin::MimeDescription() const {
  const char* text = g_exports.MimeDescription != nullptr ? g_exports.MimeDescription() : nullptr;
  if (text == nullptr) return std::nullopt;
  return text;
}

}  // namespace qel::test
