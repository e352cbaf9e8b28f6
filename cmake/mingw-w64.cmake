# Cross build for Windows with mingw-w64 against the SDK headers and import
# libraries that Debian's mingw-w64 packages ship. 32-bit by default;
# -DOSTREVIN_WIN64=ON builds 64-bit Windows instead.
set(CMAKE_SYSTEM_NAME Windows)
option(OSTREVIN_WIN64 "Build for 64-bit Windows" OFF)
if(OSTREVIN_WIN64)
  set(_triple x86_64-w64-mingw32)
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
else()
  set(_triple i686-w64-mingw32)
  set(CMAKE_SYSTEM_PROCESSOR i686)
endif()
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
