# Cross toolchain for Windows with mingw-w64. MINGW_ARCH is i686 (the shipped
# 32-bit binaries) or x86_64 (the same sources, for machines whose kernel
# cannot run 32-bit code under Wine). MINGW_THREADS is the compiler's thread
# model: "win32" for the shipped binaries (the posix model links winpthread,
# which imports GetTickCount64 and so cannot load on Windows XP), "posix" for
# the test builds, because GoogleTest needs std::mutex.
if(NOT MINGW_ARCH)
  set(MINGW_ARCH i686)
endif()
if(NOT MINGW_THREADS)
  set(MINGW_THREADS win32)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MINGW_ARCH})
set(TOOLCHAIN_PREFIX ${MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-${MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-${MINGW_THREADS})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_RC_FLAGS "-c 65001")
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run")
