# The Debian package: `cpack -G DEB` in a release build makes moxa_<version>_<arch>.deb with both
# programs, their manual pages and the bash completions. Its dependencies are the shared libraries
# the programs really link, found by dpkg-shlibdeps (package dpkg-dev).
set(CPACK_PACKAGE_NAME moxa)
set(CPACK_PACKAGE_VERSION 3.00h)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Morvyn's File Compare: two files side by side in the terminal")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A full-screen comparer of two files for terminals. moxa shows both files in two framed\n"
    "panes, aligned row by row, differences coloured; keys jump between blocks of differences,\n"
    "search, and toggle letter case, white space compression, empty-line suppression and hex\n"
    "mode. moxa -b only tests two files for identity and answers with an exit status. moxa reads\n"
    "UTF-8 and UTF-16 text; moxaw is the same program for 8-bit text.")
set(CPACK_PACKAGE_CONTACT "Morvyn's File Compare developers <moxa@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_GENERATOR DEB)
include(CPack)
