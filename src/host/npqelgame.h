// The library's exports, in the form the platform's browsers look for.
#pragma once

#include "host/NPApi.h"
#include "platform/Export.h"

QEL_EXPORT NPError QEL_OSCALL NP_Initialize(QEL_NP_INITIALIZE_PARAMETERS);
QEL_EXPORT NPError QEL_OSCALL NP_GetEntryPoints(NPPluginFuncs* plugin);
QEL_EXPORT NPError QEL_OSCALL NP_Shutdown(void);
QEL_EXPORT const char* NP_GetMIMEDescriptionFunc(void);
QEL_EXPORT const char* NP_GetMIMEDescription(void);
QEL_EXPORT NPError NP_GetValue(void* future, NPPVariable variable, void* value);

namespace qel {

// Texts that Linux hosts read in place of the library's version information.
inline constexpr const char kPluginName[] = "QEL Game Launcher";
inline constexpr const char kPluginDescription[] =
    "Installs, updates and starts online games from a web page (2.0.1)";
inline constexpr const char kMIMEDescription[] = "application/qellauncher::QEL Game Launcher";

}  // namespace qel
