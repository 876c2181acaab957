# Cross-builds Plinth for 64-bit Windows with Debian's mingw-w64 (the POSIX
# threads variant, so that std::thread works), linked statically: the programs
# need nothing beside them but Windows' own DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PLINTH_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PLINTH_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PLINTH_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PLINTH_MINGW_TRIPLE}-windres)

# Libraries and headers of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${PLINTH_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
