// The running game's requests against the page: call a function of, or
// evaluate script text in, the page's window, its parent page's window or a
// frame of the parent page, and send the result back over the channel.
#include <cmath>
#include <vector>

#include "launcher/FormLoaderPlugin.h"
#include "msg/PageCallKind.h"
#include "msg/ValueList.h"
#include "platform/AnsiText.h"

namespace qel {
namespace {

TVariant ArgumentOf(const TQEL_Variant& value) {
  switch (value.Tag) {
    case kTagInteger:
      return TVariant::Integer(value.AsInteger());
    case kTagDouble:
      return TVariant::Double(value.AsDouble());
    case kTagString:
      return TVariant::AnsiText(value.Str);
    case kTagBoolean:
      return TVariant::Boolean(value.AsBoolean());
    case kTagWideString:
      return TVariant::WideText(value.WStr);
    default:  // empty, byte arrays and unknown tags
      return {};
  }
}

// The element count of an array result, when its "length" is one a reply
// can carry: a whole number from 0 to the most values of one reply. A page
// that answers anything else gets no reply, so that a hostile length cannot
// keep the plug-in's thread reading elements.
std::optional<int32_t> ArrayLength(TBrowserObject& array) {
  std::unique_ptr<INPPropRes> length = array.GetProperty("length");
  if (!length || length->GetKind() != pkValue) return std::nullopt;
  const std::optional<double> count = length->GetValue().AsNumber();
  if (!count || !(*count >= 0 && *count <= static_cast<double>(kMostValues)) || std::trunc(*count) != *count)
    return std::nullopt;
  return static_cast<int32_t>(*count);
}

}  // namespace

TQEL_Variant TFormLoaderPlugin::ReplyValue(const TVariant& value) const {
  if (value.IsInteger()) return TQEL_Variant::Integer(static_cast<int32_t>(value.AsInteger()));
  if (value.IsFloat()) return TQEL_Variant::Double(value.AsFloat());
  switch (value.Kind()) {
    case TVariantKind::vkBoolean:
      return TQEL_Variant::Boolean(value.AsBoolean());
    case TVariantKind::vkWideText:
      if (Settings_.unicodeparam) return TQEL_Variant::WideString(value.AsWideText());
      return TQEL_Variant::String(Utf16ToAnsi(value.AsWideText()));
    case TVariantKind::vkAnsiText:
      if (Settings_.unicodeparam) return TQEL_Variant::WideString(AnsiToUtf16(value.AsAnsiText()));
      return TQEL_Variant::String(value.AsAnsiText());
    default:
      return TQEL_Variant::Integer(0);
  }
}

void TFormLoaderPlugin::ReplyWithResult(uint8_t kind, int32_t id, const INPPropRes& result) {
  std::vector<TQEL_Variant> values;
  switch (result.GetKind()) {
    case pkValue:
      values.push_back(ReplyValue(result.GetValue()));
      break;
    case pkObject: {
      TBrowserObject& array = *result.GetObject();
      const std::optional<int32_t> length = ArrayLength(array);
      if (!length) return;
      for (int32_t i = 0; i < *length; ++i) {
        // An element the browser will not read, an object, null or
        // undefined each keep their place as the integer 0.
        std::unique_ptr<INPPropRes> element = array.GetElement(i);
        values.push_back(element && element->GetKind() == pkValue ? ReplyValue(element->GetValue())
                                                                 : TQEL_Variant::Integer(0));
      }
      break;
    }
    case pkNone:
      break;
  }
  MsgSender_->SendReplyWithValues(kind, 1, values, id);
}

// A request is taken off the queue before it is carried out: when the page's
// window cannot be had, the failure ends the tick, that request is dropped
// unanswered, and the rest wait for the next tick.
void TFormLoaderPlugin::PumpGameRequests() {
  TQEL_Message request;
  while (MsgReceiver_ && MsgSender_ && MsgReceiver_->PopMessage(request)) {
    std::vector<TVariant> arguments;
    arguments.reserve(request.Values.size());
    for (const TQEL_Variant& value : request.Values) arguments.push_back(ArgumentOf(value));

    // The frame's window belongs to this request and goes with it.
    std::unique_ptr<TBrowserObject> frame;
    TBrowserObject* target = nullptr;
    switch (request.Kind) {
      case pcCallWindow:
      case pcEvalWindow:
        target = &WindowObject();
        break;
      case pcCallParent:
      case pcEvalParent:
        target = ParentWindow();
        break;
      case pcCallFrame:
      case pcEvalFrame:
        frame = FrameWindow(request.ObjectName);
        target = frame.get();
        break;
      default:
        continue;  // not a page call: no reply
    }

    if (IsCallKind(request.Kind)) {
      std::unique_ptr<INPPropRes> result = target ? target->Invoke(request.Text, arguments) : nullptr;
      if (result) {
        ReplyWithResult(request.Kind, request.Id, *result);
      } else {
        MsgSender_->SendReply(request.Kind, 0, request.Id);
      }
    } else {
      // The evaluated value stays in the page; the game learns only whether
      // the script ran.
      const bool evaluated = target && target->Evaluate(request.Text) != nullptr;
      MsgSender_->SendReply(request.Kind, evaluated ? 1 : 0, request.Id);
    }
  }
}

}  // namespace qel
