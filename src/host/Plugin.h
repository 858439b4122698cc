// The base of every plug-in instance object: one per embedded element, made by
// NPP_New through its class's factory and destroyed by NPP_Destroy. It keeps
// the browser handle, the embed attributes and the native window, answers
// NPP_GetValue, makes the page's script object and takes browser streams.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/BrowserObject.h"
#include "host/NPApi.h"
#include "host/ScriptablePluginObject.h"
#include "host/URLStream.h"
#include "platform/WindowHandle.h"

namespace qel {

class TPlugin;

// What NPP_New passes to a class's factory.
struct TPluginCreateArgs {
  NPP Instance = nullptr;
  const char* MimeType = nullptr;
  uint16_t Mode = NP_EMBED;
  int16_t Argc = 0;
  char** Argn = nullptr;
  char** Argv = nullptr;
  NPSavedData* Saved = nullptr;
};

// A plug-in class: its virtual constructor.
using TPluginClass = std::unique_ptr<TPlugin> (*)(const TPluginCreateArgs& args);

class TPlugin {
 public:
  virtual ~TPlugin();
  TPlugin(const TPlugin&) = delete;
  TPlugin& operator=(const TPlugin&) = delete;

  virtual void DetachWindow() {}
  virtual void AttachWindow() {}
  virtual void WindowChanged() {}
  virtual void StreamProgress(TURLStream& stream, int32_t bytes, int32_t total);
  virtual void StreamDone(TURLStream& stream, NPReason reason);
  virtual NPError SetWindow(NPWindow* window);
  virtual const char* GetPluginName() { return nullptr; }
  virtual const char* GetPluginDescription() { return nullptr; }
  virtual NPObject* GetScriptableNPObject();
  virtual std::unique_ptr<TScriptablePluginObject> CreateScriptableObject() { return nullptr; }
  virtual TStreamMode GetStreamMode(const char* mime_type, const char* url);
  virtual NPError NewStream(const char* mime_type, NPStream* stream, NPBool seekable,
                            uint16_t* stream_type);

  // The answer to NPP_GetValue.
  virtual NPError GetValue(NPPVariable variable, void* value);

  NPP Instance() const { return Instance_; }
  TWindowHandle WindowHandle() const { return WindowHandle_; }
  NPObject* ScriptableNPObject() const { return ScriptableNPObject_; }
  const std::vector<std::string>& ParamNames() const { return ParamNames_; }
  const std::vector<std::string>& ParamValues() const { return ParamValues_; }

  // The page around the plug-in. The window, parent document and parent
  // window are looked up once found and kept until the instance ends; a
  // frame is looked up anew on every call and belongs to the caller.
  // WindowObject fails (EQelError) when the browser gives no window; the
  // others answer null when the page is not inside a frame or the frame is
  // not there.
  TBrowserObject& WindowObject();
  TBrowserObject* ParentDocument();
  TBrowserObject* ParentWindow();
  std::unique_ptr<TBrowserObject> FrameDocument(std::string_view element_id);
  std::unique_ptr<TBrowserObject> FrameWindow(std::string_view element_id);

  // Streams belong to the instance until a user takes one over, and die with
  // it at the latest.
  TURLStream& AdoptStream(std::unique_ptr<TURLStream> stream);
  std::unique_ptr<TURLStream> ReleaseStream(TURLStream& stream);

 protected:
  // The base part of construction: keeps the handle and the attributes.
  explicit TPlugin(const TPluginCreateArgs& args);

 private:
  NPP Instance_;
  TWindowHandle WindowHandle_ = 0;
  NPObject* ScriptableNPObject_ = nullptr;
  std::vector<std::string> ParamNames_;
  std::vector<std::string> ParamValues_;
  std::unique_ptr<TBrowserObject> WindowObject_;
  std::unique_ptr<TBrowserObject> ParentDocument_;
  std::unique_ptr<TBrowserObject> ParentWindow_;
  std::vector<std::unique_ptr<TURLStream>> Streams_;
};

}  // namespace qel
