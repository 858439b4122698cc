// What the game asks of the page: the kind byte of a message. An answer
// carries the kind of the request it answers.
#pragma once

#include <cstdint>

namespace qel {

enum TPageCallKind : uint8_t {
  pcCallWindow = 1,  // call function `Text` of the page's window with the values
  pcEvalWindow = 2,  // evaluate script `Text` in the page's window
  pcCallParent = 3,  // as pcCallWindow, in the parent page's window
  pcEvalParent = 4,  // as pcEvalWindow, in the parent page's window
  pcCallFrame = 5,   // as pcCallWindow, in the window of frame `ObjectName`
  pcEvalFrame = 6,   // as pcEvalWindow, in the window of frame `ObjectName`
};

inline bool IsPageCallKind(uint8_t kind) { return kind >= pcCallWindow && kind <= pcEvalFrame; }
// The kinds whose messages carry a value list.
inline bool IsCallKind(uint8_t kind) {
  return kind == pcCallWindow || kind == pcCallParent || kind == pcCallFrame;
}

}  // namespace qel
