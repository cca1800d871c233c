# Cross build for another Debian architecture with Debian's cross toolchain and multiarch
# libraries, Qt 6 taking its tools (moc, uic, rcc) from the build machine:
#
#   cmake -S . -B build/pkg-arm64 -DPANEL_CROSS_ARCH=arm64 \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/debian-cross.cmake
#
# Needs crossbuild-essential-<arch>, qt6-base-dev:<arch> and qt6-serialport-dev:<arch>
# (scripts/package installs them). The tests run under qemu-user (qemu-user-static).
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PANEL_CROSS_ARCH)
if(NOT PANEL_CROSS_ARCH)
    message(FATAL_ERROR "Set PANEL_CROSS_ARCH to a Debian architecture such as arm64 or armhf")
endif()

foreach(variable MULTIARCH GNU_CPU)
    execute_process(COMMAND dpkg-architecture -a${PANEL_CROSS_ARCH} -qDEB_HOST_${variable}
                    OUTPUT_VARIABLE _panel_${variable} OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET RESULT_VARIABLE _panel_status)
    if(NOT _panel_status EQUAL 0 OR NOT _panel_${variable})
        message(FATAL_ERROR "dpkg-architecture does not know ${PANEL_CROSS_ARCH}")
    endif()
endforeach()

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${_panel_GNU_CPU})
set(CMAKE_LIBRARY_ARCHITECTURE ${_panel_MULTIARCH})
set(CMAKE_C_COMPILER ${_panel_MULTIARCH}-gcc)
set(CMAKE_CXX_COMPILER ${_panel_MULTIARCH}-g++)

# Libraries and headers of the target architecture only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(QT_HOST_PATH /usr)
# Qt's host tool packages (moc, uic, rcc, lrelease) live under the build machine's multiarch
# folder, which Qt would not guess from QT_HOST_PATH alone.
execute_process(COMMAND dpkg-architecture -qDEB_BUILD_MULTIARCH
                OUTPUT_VARIABLE _panel_build_multiarch OUTPUT_STRIP_TRAILING_WHITESPACE)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${_panel_build_multiarch}/cmake CACHE PATH "")
set(Qt6HostInfo_DIR ${QT_HOST_PATH_CMAKE_DIR}/Qt6HostInfo CACHE PATH "")
set(ENV{PKG_CONFIG_LIBDIR}
    "/usr/lib/${_panel_MULTIARCH}/pkgconfig:/usr/share/pkgconfig:/usr/lib/pkgconfig")

# Programs of the target architecture run under qemu-user: the tests, and what they start.
if(PANEL_CROSS_ARCH STREQUAL "arm64")
    set(_panel_qemu qemu-aarch64-static)
elseif(PANEL_CROSS_ARCH MATCHES "^arm")
    set(_panel_qemu qemu-arm-static)
else()
    set(_panel_qemu qemu-${_panel_GNU_CPU}-static)
endif()
find_program(PANEL_QEMU ${_panel_qemu})
if(PANEL_QEMU)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${PANEL_QEMU})
endif()
