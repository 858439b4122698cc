// How the library's entry points are marked for export, which calling
// convention the browser expects of them, and the form of NP_Initialize on
// this platform.
#pragma once

#if defined(_WIN32)
// The exports are listed, undecorated, in the library's module definition
// file. Windows browsers ask NP_GetEntryPoints for the plug-in's table, so
// NP_Initialize takes the browser's table alone.
#define QEL_EXPORT extern "C"
#define QEL_OSCALL __stdcall
#define QEL_NP_INITIALIZE_PARAMETERS NPNetscapeFuncs* browser
#define QEL_NP_INITIALIZE_PLUGIN_TABLE nullptr
#define QEL_NP_INITIALIZE_CALL(initialize, browser, plugin) initialize(browser)
#else
// Linux browsers hand the plug-in's table to NP_Initialize.
#define QEL_EXPORT extern "C" __attribute__((visibility("default")))
#define QEL_OSCALL
#define QEL_NP_INITIALIZE_PARAMETERS NPNetscapeFuncs* browser, NPPluginFuncs* plugin
#define QEL_NP_INITIALIZE_PLUGIN_TABLE plugin
#define QEL_NP_INITIALIZE_CALL(initialize, browser, plugin) initialize(browser, plugin)
#endif
