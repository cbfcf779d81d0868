# Cross-compiling for 64-bit Windows with Debian's mingw-w64 toolchain.
# The -posix thread variant is required: the win32 variant of GCC 12 has no
# std::thread or std::mutex, which the serial port and the log file use.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt for Windows (scripts/qt_windows.sh), when given, is found under its own
# prefix; its build tools (moc, rcc, uic) are Debian's Qt of the same version.
if(KESTRUM_QT_WINDOWS)
    list(APPEND CMAKE_FIND_ROOT_PATH "${KESTRUM_QT_WINDOWS}")
    list(APPEND CMAKE_PREFIX_PATH "${KESTRUM_QT_WINDOWS}")
    set(QT_HOST_PATH /usr)
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
endif()

# The programs carry the compiler's runtime inside them, so they run (under
# Wine or on a technician's laptop) without libstdc++ or winpthread DLLs
# beside them. (Qt's DLLs need those DLLs: the window gets them gathered
# beside it.)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The tests run under Wine from the build machine.
find_program(KESTRUM_WINE NAMES wine64 wine)
if(KESTRUM_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KESTRUM_WINE})
endif()
