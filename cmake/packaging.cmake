# The Debian package: `cpack -G DEB` in the build folder (or ./package.sh) makes
# fourfall_VERSION_ARCH.deb from what `cmake --install` installs, under /usr. Its Depends field is
# computed from the binaries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME fourfall)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Fourfall developers")
set(CPACK_PACKAGE_CONTACT "The Fourfall developers <fourfall@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "referee and tournament runner for four-in-a-row bots")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Fourfall referees games of four in a row between bot programs that talk\n\
over their standard input and output. The moderator window relays each\n\
move at a press of Go and shows the whole game; fourfall-match plays\n\
whole matches and tournaments without a window, in parallel, from\n\
openings, with sound statistics, resource limits and a sandbox for\n\
untrusted bots; fourfall-report reports runs from their logs.\n\
fourfall-solve tells the exact value of any position, and --audit marks\n\
every move that threw a result away. Sample bots (one of them plays\n\
perfectly) and a guide to writing bots are included.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bubblewrap")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "parallel, python3")
include(CPack)
