#include "host/Plugin.h"

#include <algorithm>
#include <string>

#include "host/NPFuncs.h"
#include "host/ScriptablePluginObject.h"
#include "platform/Error.h"

namespace qel {

TPlugin::TPlugin(const TPluginCreateArgs& args) : Instance_(args.Instance) {
  for (int i = 0; i < args.Argc; ++i) {
    const char* name = args.Argn ? args.Argn[i] : nullptr;
    const char* value = args.Argv ? args.Argv[i] : nullptr;
    ParamNames_.emplace_back(name ? name : "");
    ParamValues_.emplace_back(value ? value : "");
  }
}

TPlugin::~TPlugin() {
  if (ScriptableNPObject_ != nullptr) {
    // The page may keep the object; from now on it finds no plug-in behind it.
    if (TScriptablePluginObject* object = ScriptObjectOf(ScriptableNPObject_)) {
      object->ClearPluginAlive();
    }
    NPN_ReleaseObject(ScriptableNPObject_);
    ScriptableNPObject_ = nullptr;
  }
  // Each wrapper gives its page object's reference back.
  WindowObject_.reset();
  ParentDocument_.reset();
  ParentWindow_.reset();
  // Streams still alive end their browser streams with a user break; their
  // notifications reach this base part only, the descendant being gone.
  while (!Streams_.empty()) {
    std::unique_ptr<TURLStream> stream = std::move(Streams_.back());
    Streams_.pop_back();
    stream.reset();
  }
}

void TPlugin::StreamProgress(TURLStream&, int32_t, int32_t) {}
void TPlugin::StreamDone(TURLStream&, NPReason) {}

NPError TPlugin::SetWindow(NPWindow* window) {
  TWindowHandle handle = window ? reinterpret_cast<TWindowHandle>(window->window) : 0;
  if (handle != WindowHandle_) {
    DetachWindow();
    WindowHandle_ = handle;
    AttachWindow();
  }
  WindowChanged();
  return NPERR_NO_ERROR;
}

// The first answer creates the object, whose first reference stays with the
// instance; every answer then hands the browser a reference of its own.
NPObject* TPlugin::GetScriptableNPObject() {
  if (ScriptableNPObject_ == nullptr) {
    ScriptableNPObject_ = NPN_CreateObject(Instance_, ScriptableClass());
  }
  if (ScriptableNPObject_ != nullptr) NPN_RetainObject(ScriptableNPObject_);
  return ScriptableNPObject_;
}

TStreamMode TPlugin::GetStreamMode(const char*, const char*) { return smFile; }

NPError TPlugin::NewStream(const char* mime_type, NPStream* stream, NPBool,
                           uint16_t* stream_type) {
  TURLStream& owned = AdoptStream(std::make_unique<TURLStream>());
  owned.OnProgress = [this](TURLStream& s, int32_t bytes, int32_t total) {
    StreamProgress(s, bytes, total);
  };
  owned.OnDone = [this](TURLStream& s, NPReason reason) { StreamDone(s, reason); };
  TStreamMode mode = GetStreamMode(mime_type, stream->url);
  if (stream_type) *stream_type = mode == smFile ? NP_ASFILEONLY : NP_NORMAL;
  owned.Attach(stream, Instance_, mode);
  return NPERR_NO_ERROR;
}

NPError TPlugin::GetValue(NPPVariable variable, void* value) {
  switch (variable) {
    case NPPVpluginNameString:
      *static_cast<const char**>(value) = GetPluginName();
      return NPERR_NO_ERROR;
    case NPPVpluginDescriptionString:
      *static_cast<const char**>(value) = GetPluginDescription();
      return NPERR_NO_ERROR;
    case NPPVpluginWindowBool:
      *static_cast<NPBool*>(value) = true;
      return NPERR_NO_ERROR;
    case NPPVpluginTransparentBool:
      *static_cast<NPBool*>(value) = false;
      return NPERR_NO_ERROR;
    case NPPVpluginScriptableNPObject:
      *static_cast<NPObject**>(value) = GetScriptableNPObject();
      return NPERR_NO_ERROR;
    case NPPVpluginWantsAllNetworkStreams:
      *static_cast<NPBool*>(value) = true;
      return NPERR_NO_ERROR;
    case NPPVpluginCancelSrcStream:
      *static_cast<NPBool*>(value) = false;
      return NPERR_NO_ERROR;
    default:
      return NPERR_GENERIC_ERROR;
  }
}

TBrowserObject& TPlugin::WindowObject() {
  if (WindowObject_) return *WindowObject_;
  ::NPObject* window = nullptr;
  const NPError error = NPN_GetValue(Instance_, NPNVWindowNPObject, &window);
  // A browser that claims success without a window has not given one either.
  if (error != NPERR_NO_ERROR || window == nullptr) {
    throw EQelError("Error getting a browser window object: " + std::to_string(error));
  }
  WindowObject_ = TBrowserObject::Adopt(Instance_, window);
  return *WindowObject_;
}

TBrowserObject* TPlugin::ParentDocument() {
  if (!ParentDocument_) {
    // Null for a page that is not inside a frame: looked for again next time.
    std::unique_ptr<TBrowserObject> frame = WindowObject().GetPropertyObject("frameElement");
    if (frame) ParentDocument_ = frame->GetPropertyObject("ownerDocument");
  }
  return ParentDocument_.get();
}

TBrowserObject* TPlugin::ParentWindow() {
  if (!ParentWindow_) {
    if (TBrowserObject* document = ParentDocument())
      ParentWindow_ = document->GetPropertyObject("defaultView");
  }
  return ParentWindow_.get();
}

std::unique_ptr<TBrowserObject> TPlugin::FrameDocument(std::string_view element_id) {
  TBrowserObject* document = ParentDocument();
  if (document == nullptr) return nullptr;
  std::unique_ptr<INPPropRes> element =
      document->Invoke("getElementById", {TVariant::AnsiText(std::string(element_id))});
  if (!element || element->GetKind() != pkObject) return nullptr;
  return element->GetObject()->GetPropertyObject("contentDocument");
}

std::unique_ptr<TBrowserObject> TPlugin::FrameWindow(std::string_view element_id) {
  std::unique_ptr<TBrowserObject> document = FrameDocument(element_id);
  if (!document) return nullptr;
  return document->GetPropertyObject("defaultView");
}

TURLStream& TPlugin::AdoptStream(std::unique_ptr<TURLStream> stream) {
  Streams_.push_back(std::move(stream));
  return *Streams_.back();
}

std::unique_ptr<TURLStream> TPlugin::ReleaseStream(TURLStream& stream) {
  auto it = std::find_if(Streams_.begin(), Streams_.end(),
                         [&](const auto& owned) { return owned.get() == &stream; });
  if (it == Streams_.end()) return nullptr;
  std::unique_ptr<TURLStream> released = std::move(*it);
  Streams_.erase(it);
  return released;
}

}  // namespace qel
