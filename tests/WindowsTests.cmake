# The tests that run under Wine against the Windows platform layer.
include(GoogleTest)
foreach(group Basics Files Windows Net Content)
  include(platform/win32/${group}.cmake)
endforeach()
