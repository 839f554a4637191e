# CPack settings for the Debian package orv-converter_<version>_<arch>.deb.
# The shared-mime-info, desktop-file-utils and hicolor-icon-theme packages
# refresh their caches through dpkg file triggers, so no maintainer scripts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orv-converter)
set(CPACK_PACKAGE_VENDOR "ORV Converter 2 developers")
set(CPACK_PACKAGE_CONTACT "ORV Converter 2 developers <orv-converter@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "converter for ORV documents to Accent, RTF and text")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The window finds its installed help page by a path fixed at build time.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL CPACK_PACKAGING_INSTALL_PREFIX)
    message(STATUS "CMAKE_INSTALL_PREFIX is ${CMAKE_INSTALL_PREFIX}: a Debian package made "
                   "from this build would look for its help page in the wrong place "
                   "(use the release preset or -DCMAKE_INSTALL_PREFIX=/usr)")
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "ORV Converter 2 decodes documents in the ORV (Orvelle) format and writes,
next to each source, an Accent tagged document, a right-to-left RTF
document and/or the decoded plain text.
.
The package holds the desktop window (orvconverter), with a menu entry and
an Open With association for *.orv files, and the command-line
converter (orvconv) for batch and scripted use.")

include(CPack)
