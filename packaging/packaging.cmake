# The Debian package, velmora_<version>_amd64.deb: the programs and the desktop entry with its icons
# (installed by their own folders), and here the AppStream metainfo, the manual pages, and the
# copyright and changelog files that Debian asks of every package. `cmake --workflow --preset
# package` (or `cpack -G DEB` in build/release) writes it; scripts/package.sh checks it.

set(velmora_packaging_out ${PROJECT_BINARY_DIR}/packaging)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/org.velmora.Velmora.metainfo.xml DESTINATION share/metainfo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION share/doc/velmora)

# Debian wants the changelog compressed at the highest level, without the name and time of the
# source, so that two builds of the same tree give the same package.
find_program(VELMORA_GZIP gzip REQUIRED)
add_custom_command(
    OUTPUT ${velmora_packaging_out}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/changelog ${velmora_packaging_out}/changelog
    COMMAND ${VELMORA_GZIP} -9nf ${velmora_packaging_out}/changelog
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog
    VERBATIM)
add_custom_target(velmora_changelog ALL DEPENDS ${velmora_packaging_out}/changelog.gz)
install(FILES ${velmora_packaging_out}/changelog.gz DESTINATION share/doc/velmora)

# The manual page of the calendar and its launcher; velmora-cal's comes with its folder. Each folder
# installs its pages as they are, and the package compresses them all the same way.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/velmora.1 ${CMAKE_CURRENT_LIST_DIR}/velmora-launch.1
        DESTINATION share/man/man1)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/compress_man_pages.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_CONTACT "The Velmora developers <maintainers@velmora.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://velmora.org/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop calendar with day memos and Japan's holidays")
# Debian shows the description as it is: lines under 80 columns, "." for an empty line.
set(CPACK_PACKAGE_DESCRIPTION
    "A small desktop calendar for Japanese users: one month at a time, with
Sundays and holidays in red and Saturdays in blue, or the whole year when
maximised; a memo for any day; a holiday table the user keeps. Its data
lives in code page 932 text files in ~/.local/share/velmora.
.
velmora-cal works on the same files from a terminal. Japan's official list
of national holidays, from the Cabinet Office, comes with the package.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME velmora)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries the programs link: the faces the month sheets and dialogs are drawn in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-mincho, fonts-ipafont-gothic")

include(CPack)
