# Cross-compiles the Windows programs on Linux with MinGW-w64 (the posix thread model, needed for
# std::thread and friends). Use: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The .exe files must run on a machine without MinGW's DLLs. The static C++ runtime and the
# header-only logging library both define std::type_info::operator==; the definitions are the
# same, so the linker may keep either.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--allow-multiple-definition")

# Lets ctest (and gtest's test listing) run the .exe files through Wine when it is installed.
find_program(ENSEMBLE_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ENSEMBLE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ENSEMBLE_WINE})
endif()
