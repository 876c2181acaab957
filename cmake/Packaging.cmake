# Installation of what is not a program target, and the Debian package.
include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/data/plinth.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/plinth-book.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${PROJECT_SOURCE_DIR}/data/example.quarnet.plinth.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The licence in Debian's machine-readable copyright format: the header of
# data/debian/copyright.in and the text of LICENSE from its copyright line on,
# each line indented, an empty line as " .".
file(READ ${PROJECT_SOURCE_DIR}/data/debian/copyright.in copyright)
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE licence_lines)
set(past_title FALSE)
foreach(line IN LISTS licence_lines)
  if(line MATCHES "^Copyright ")
    set(past_title TRUE)
  endif()
  if(NOT past_title)
    continue()
  elseif(line STREQUAL "")
    string(APPEND copyright " .\n")
  else()
    string(APPEND copyright " ${line}\n")
  endif()
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/doc/copyright CONTENT "${copyright}" @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/doc/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The changelog and the manual pages (which carry the version of the build) are
# installed compressed, as Debian keeps them: gzip -9n, no name or time inside.
set(PLINTH_VERSION ${PROJECT_VERSION})
set(compressed "")
macro(plinth_compress source destination)
  add_custom_command(OUTPUT ${source}.gz
                     COMMAND gzip -9nf --keep ${source}
                     DEPENDS ${source}
                     VERBATIM)
  list(APPEND compressed ${source}.gz)
  install(FILES ${source}.gz DESTINATION ${destination})
endmacro()
configure_file(${PROJECT_SOURCE_DIR}/data/debian/changelog ${CMAKE_BINARY_DIR}/doc/changelog
               COPYONLY)
plinth_compress(${CMAKE_BINARY_DIR}/doc/changelog ${CMAKE_INSTALL_DOCDIR})
foreach(page plinth.1 plinth-cli.1)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page} ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  plinth_compress(${CMAKE_BINARY_DIR}/man/${page} ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(plinth-compressed-docs ALL DEPENDS ${compressed})

set(CPACK_PACKAGE_NAME plinth)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quarnet")
set(CPACK_PACKAGE_CONTACT "The Plinth developers <plinth@quarnet.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Analyse, repair and optimize Velmora opening books")
# The long description, below the summary, in lines as the package shows them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Plinth keeps the opening books (.bk files) of the Velmora chess suite\n"
    "healthy: it shows a book's header, analyses its chains and records, and\n"
    "rebuilds it with a new record size and hash index size, which also repairs\n"
    "a damaged book. It comes as a desktop program (plinth) and a command-line\n"
    "tool (plinth-cli).")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quarnet.example/plinth/")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The book type is registered with the shared MIME database on installation.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "shared-mime-info")
set(CPACK_STRIP_FILES ON)
include(CPack)
