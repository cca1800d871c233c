# Debian packages of the panel, made by CPack: "cpack -G DEB" in a build folder writes
#   servicepanel_<version>_<arch>.deb      the panel, in /usr/bin
#   servicepanel-sim_<version>_<arch>.deb  the printer simulator printersim
# scripts/package builds them for amd64, arm64 and armhf. A cross build (see
# cmake/debian-cross.cmake) packages for the architecture it builds for.
include(GNUInstallDirs)

set(PANEL_PACKAGE_MAINTAINER "servicepanel maintainers <maintainers@servicepanel.example>"
    CACHE STRING "Maintainer field of the Debian packages")

# The Debian architecture of the programs built here.
if(NOT PANEL_DEB_ARCH)
    if(CMAKE_LIBRARY_ARCHITECTURE)
        execute_process(COMMAND dpkg-architecture -t${CMAKE_LIBRARY_ARCHITECTURE}
                                -qDEB_HOST_ARCH
                        OUTPUT_VARIABLE _panel_arch OUTPUT_STRIP_TRAILING_WHITESPACE
                        ERROR_QUIET)
    endif()
    if(NOT _panel_arch)
        execute_process(COMMAND dpkg --print-architecture
                        OUTPUT_VARIABLE _panel_arch OUTPUT_STRIP_TRAILING_WHITESPACE
                        ERROR_QUIET)
    endif()
    set(PANEL_DEB_ARCH "${_panel_arch}" CACHE STRING "Debian architecture of the packages")
endif()

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS servicepanel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT panel)
install(TARGETS printersim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sim)
install(FILES packaging/servicepanel.service
        DESTINATION ${CMAKE_INSTALL_DATADIR}/servicepanel COMPONENT panel)
install(FILES packaging/servicepanel.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME servicepanel
        COMPONENT panel)

# Debian wants the changelog and the manual pages compressed, without a time stamp.
set(_panel_pkg_dir ${CMAKE_CURRENT_BINARY_DIR}/packaging)
set(_panel_pkg_files)
foreach(source changelog servicepanel.1 printersim.1)
    set(output ${_panel_pkg_dir}/${source}.gz)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${_panel_pkg_dir}
        COMMAND gzip -9 -n -c ${CMAKE_CURRENT_SOURCE_DIR}/packaging/${source} > ${output}
        DEPENDS packaging/${source} VERBATIM)
    list(APPEND _panel_pkg_files ${output})
endforeach()
add_custom_target(package_docs ALL DEPENDS ${_panel_pkg_files})

foreach(component panel sim)
    if(component STREQUAL panel)
        set(name servicepanel)
        set(page servicepanel.1)
    else()
        set(name servicepanel-sim)
        set(page printersim.1)
    endif()
    install(FILES packaging/copyright ${_panel_pkg_dir}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${name} COMPONENT ${component})
    install(FILES ${_panel_pkg_dir}/${page}.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME servicepanel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${PANEL_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL panel sim)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${PANEL_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PANEL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_PANEL_PACKAGE_NAME servicepanel)
# What the panel runs and draws with, besides the libraries it links: the MySQL client tools
# for the dumps, the fonts of its form and its texts, and mkdir, mv, rm and sync.
set(CPACK_DEBIAN_PANEL_PACKAGE_DEPENDS
    "mariadb-client | default-mysql-client, fonts-dejavu-core, fonts-unifont, fonts-wqy-microhei, coreutils (>= 8.32)")
set(CPACK_DEBIAN_PANEL_DESCRIPTION
    "service tool of the weighing and labelling terminal
A full-screen, touch-operated service panel for the terminal's framebuffer.
A service technician uses it to back up the application's data (/opt and
its two databases) onto a USB stick, restore and clear it, power the
device off, and test and set up the built-in label printer on its serial
line.")

set(CPACK_DEBIAN_SIM_PACKAGE_NAME servicepanel-sim)
set(CPACK_DEBIAN_SIM_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_SIM_DESCRIPTION
    "printer simulator for trying out servicepanel
printersim plays the terminal's built-in label printer on a
pseudo-terminal: it answers the panel's status queries and keeps the
settings the panel sends. It can also stay silent, answer late or answer
garbage, to try the panel against a faulty line.")

include(CPack)

# The package tier of the tests (ctest -L package): the panel's package made from this
# build and checked as a device would have it (tests/installed-package.sh), under the
# emulator for another architecture. Only the Qt 6 build makes the device's package.
if(BUILD_TESTING AND PANEL_QT_MAJOR EQUAL 6)
    add_test(NAME package_deb COMMAND ${CMAKE_CPACK_COMMAND} -G DEB
             WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    add_test(NAME installed_package
             COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/tests/installed-package.sh
                     ${CMAKE_BINARY_DIR}/servicepanel_${PROJECT_VERSION}_${PANEL_DEB_ARCH}.deb
                     ${CMAKE_CROSSCOMPILING_EMULATOR})
    set_tests_properties(package_deb PROPERTIES LABELS package FIXTURES_SETUP deb TIMEOUT 600)
    set_tests_properties(installed_package PROPERTIES LABELS package FIXTURES_REQUIRED deb)
endif()
