# SPDX-License-Identifier: GPL-3.0-or-later
# `cpack -G DEB` in a build folder makes the Debian package: what `cmake --install` installs (both programs,
# their manual pages, the desktop entry and its AppStream metadata, the file kinds, the icons, the command-line
# tool's bash completion, the HTML manual, the copyright and the changelog) under /usr.
# scripts/package.sh builds a Release tree and the package into out/.

# Debian's place for a package's license (machine-readable) and its history: a package made here is native,
# so the history is changelog.gz.
include(GNUInstallDirs)
include(${PROJECT_SOURCE_DIR}/resources/compressed.cmake)
set(package_doc ${CMAKE_INSTALL_DATADIR}/doc/ostrum-tape)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright DESTINATION ${package_doc})
ostrum_install_compressed(${PROJECT_SOURCE_DIR}/resources/debian/changelog ${package_doc})

set(CPACK_PACKAGE_NAME ostrum-tape)
set(CPACK_PACKAGE_VENDOR "Brivane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "get files back from MTF backup tapes and tape images")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.brivane.com/ostrum-tape/")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Brivane Ostrum TAPE team <support@brivane.com>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The long description under the summary; a line of "." parts its paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Brivane Ostrum TAPE reads backup tapes and tape image files written in the
Microsoft Tape Format (MTF 1.00a, also the format of .bkf backup files). It
tests every 512-byte slot of the medium for MTF blocks, so backup sets,
folders and files are found even on damaged tapes or images whose beginning
is missing, and saves the files chosen.
.
The package holds the desktop program ostrum-tape (a wizard that copies a
tape into an image, and a recovery window) and the command-line tool
ostrum-tape-cli.")

# The libraries the programs link (Qt 6, the C++ runtime) are read off the binaries by dpkg-shlibdeps
# where it is installed (dpkg-dev); without it they are named here by hand. Neither sees what Qt loads
# at run time: its platform plugins, and the MIME database that names file kinds.
set(runtime_depends "qt6-qpa-plugins, shared-mime-info")
find_program(OSTRUM_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(OSTRUM_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    string(PREPEND runtime_depends
           "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libstdc++6 (>= 12), libc6, ")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${runtime_depends}")

include(CPack)
