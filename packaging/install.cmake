# What `cmake --install` puts on the system, and the Debian package made of it
# (`cpack -G DEB` in the build directory).
include(GNUInstallDirs)

set(ORV_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(ORV_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/orv-converter)

install(TARGETS orvconv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Man pages and the changelog go in compressed, as Debian policy asks; -n keeps
# the time stamp out so that two builds give the same bytes.
set(ORV_COMPRESSED_DOCS)
function(orv_compress source target)
    set(copy ${CMAKE_BINARY_DIR}/packaging/${target})
    add_custom_command(
        OUTPUT ${copy}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
        COMMAND gzip -9nf ${copy}
        DEPENDS ${source}
        COMMENT "Compressing ${target}"
        VERBATIM)
    set(ORV_COMPRESSED_DOCS ${ORV_COMPRESSED_DOCS} ${copy}.gz PARENT_SCOPE)
endfunction()

orv_compress(${PROJECT_SOURCE_DIR}/man/orvconv.1 orvconv.1)
orv_compress(${ORV_PACKAGING_DIR}/changelog changelog)
install(FILES ${CMAKE_BINARY_DIR}/packaging/orvconv.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Completions where bash-completion and zsh look for them, loaded on first use.
install(FILES ${ORV_PACKAGING_DIR}/completions/orvconv.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME orvconv)
install(FILES ${ORV_PACKAGING_DIR}/completions/_orvconv
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)

if(ORV_GUI)
    install(TARGETS orvconverter RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    orv_compress(${PROJECT_SOURCE_DIR}/man/orvconverter.1 orvconverter.1)
    install(FILES ${CMAKE_BINARY_DIR}/packaging/orvconverter.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    # The window's Help falls back to this copy when the working directory has none.
    install(FILES ${PROJECT_SOURCE_DIR}/docs/help.htm
            DESTINATION ${CMAKE_INSTALL_DATADIR}/orv-converter)
    install(FILES ${PROJECT_SOURCE_DIR}/app/icons/orv-converter.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES ${ORV_PACKAGING_DIR}/orv-converter.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${ORV_PACKAGING_DIR}/orv-converter.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
endif()

add_custom_target(orv_compressed_docs ALL DEPENDS ${ORV_COMPRESSED_DOCS})

install(FILES ${ORV_PACKAGING_DIR}/copyright DESTINATION ${ORV_DOC_DIR})
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${ORV_DOC_DIR})

include(${ORV_PACKAGING_DIR}/deb_package.cmake)
