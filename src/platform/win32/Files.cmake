# Files facilities: files and folders, mapped and data files, unpacked trees
# and their flush, folder removal and trust, named mutexes and semaphores.
set(QEL_WIN32_FILES_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/ClosedFolderSecurity.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/DaclTrust.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/DataFile.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/FileEntry.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/FileSystem.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/FolderRemoval.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/FolderTrust.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/KernelObjectName.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/MappedFile.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/MutexKeeper.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/NamedMutex.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/NamedSemaphore.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/SystemError.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/TreeFiles.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/TreeFlush.cc
  ${CMAKE_CURRENT_SOURCE_DIR}/UserSid.cc
  CACHE INTERNAL "")
# Security descriptors and the process's token.
target_link_libraries(qelplatform PUBLIC advapi32)
