# Cross toolchain for the 32-bit release build (compiled and linked only: 32-bit code cannot run here).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KO_TRIPLET i686-w64-mingw32)
# The shipped program starts no threads of its own: with the -win32 compilers the library's guards, locks
# and thread-local storage use the system's own calls, and winpthread (32 KB) stays out.
set(KO_THREAD_MODEL win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
