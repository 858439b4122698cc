# Basics facilities: the plug-in thread's loop and timers on a message-only
# window, the last-resort report's outputs (standard error, the debugger and a
# message box), ANSI text in the system's code page, the environment, the
# plug-in's folder, modules and their waitable handles, thread priority, game
# processes, free space and drive roots, and the browser's windowing.
set(QEL_WIN32_BASICS_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/AnsiText.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/CodePageText.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/DiskSpace.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/GameEnvironment.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/GameProcess.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/LastResortOutput.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/Loop.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/ModuleSystem.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/ModuleHandle.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/NoErrorBoxes.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/PluginFolder.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/PluginWindowing.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/ProcessEnvironment.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/SystemError.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/ThreadPriority.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/TimerTicking.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/TimerWindow.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/Utf8.cc
  CACHE INTERNAL "")
target_link_libraries(qelplatform PUBLIC user32 kernel32)
