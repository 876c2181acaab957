# Installation of what is not a program target, and the Debian package.
include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/data/plinth.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/plinth-book.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${PROJECT_SOURCE_DIR}/src/app/plinth.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Manual pages carry the version of the build.
set(PLINTH_VERSION ${PROJECT_VERSION})
foreach(page plinth.1 plinth-cli.1)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page} ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(CPACK_PACKAGE_NAME plinth)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quarnet")
set(CPACK_PACKAGE_CONTACT "Plinth developers <plinth@quarnet.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Analyse, repair and optimize Velmora opening books")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Plinth keeps the opening books (.bk files) of the Velmora chess suite healthy: it shows a "
    "book's header, analyses its chains and records, and rebuilds it with a new record size and "
    "hash index size, which also repairs a damaged book. It comes as a desktop program (plinth) "
    "and a command-line tool (plinth-cli).")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The book type is registered with the shared MIME database on installation.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "shared-mime-info")
set(CPACK_STRIP_FILES ON)
include(CPack)
