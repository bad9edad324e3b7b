# The -posix compilers unless the toolchain names another thread model: GoogleTest needs std::thread and
# friends, which the -posix ones give through winpthread.
if(NOT DEFINED KO_THREAD_MODEL)
  set(KO_THREAD_MODEL posix)
endif()
set(CMAKE_C_COMPILER ${KO_TRIPLET}-gcc-${KO_THREAD_MODEL})
set(CMAKE_CXX_COMPILER ${KO_TRIPLET}-g++-${KO_THREAD_MODEL})
set(CMAKE_RC_COMPILER ${KO_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KO_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
