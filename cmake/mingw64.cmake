# The same sources for 64-bit Windows. Tests run this build where the host
# cannot execute 32-bit code (Wine's 32-bit loader then fails with ENOEXEC).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
