# The Windows build, cross-built on Debian (preset `windows`, toolchain
# cmake/mingw-w64-x86_64.cmake): its dependencies, how its programs run on the
# build machine, and the zip that `make windows` makes.

# The desktop program's resources are compiled with windres.
enable_language(RC)

# Windows 10's API; windows.h without its min and max macros.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 NOMINMAX WIN32_LEAN_AND_MEAN)

# CLI11 and nlohmann-json are header-only: their Debian headers serve as they
# are. They are reached through a folder of their own, since /usr/include would
# put the Linux C library's headers in front of mingw-w64's.
set(PLINTH_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${PLINTH_HOST_HEADERS})
foreach(package_headers IN ITEMS CLI11:CLI nlohmann_json:nlohmann)
  string(REPLACE ":" ";" package_headers ${package_headers})
  list(GET package_headers 0 package)
  list(GET package_headers 1 headers)
  if(NOT EXISTS /usr/include/${headers})
    message(FATAL_ERROR "/usr/include/${headers} is missing: run scripts/install-deps windows")
  endif()
  file(CREATE_LINK /usr/include/${headers} ${PLINTH_HOST_HEADERS}/${headers} SYMBOLIC)
  add_library(${package}::${package} INTERFACE IMPORTED)
  set_target_properties(${package}::${package} PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${PLINTH_HOST_HEADERS})
endforeach()

if(PLINTH_BUILD_TESTS)
  # GoogleTest built from the sources Debian ships (package googletest).
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  # The tests run under wine, in a wine prefix of the build's own that the first
  # test program creates, on the display that scripts/test-windows gives them
  # (a virtual one, where the window's tests make their windows). No installer
  # of wine's own (Mono, Gecko) is started. The tests are listed when CTest
  # starts, so the build itself needs no wine.
  find_program(PLINTH_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(PLINTH_WINE wine64)
  if(NOT PLINTH_WINE)
    message(WARNING "wine64 is missing (scripts/install-deps windows): the tests cannot run")
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env --unset=WAYLAND_DISPLAY
      WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
      ${PLINTH_WINE})
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
endif()

# build/windows/plinth-VERSION-windows-x64.zip: plinth.exe, the book-information
# component plinth_bookinfo.dll and plinth-cli.exe, with the README, the licence
# and the help page.
set(PLINTH_ZIP_DIR ${CMAKE_BINARY_DIR}/zip/plinth-${PROJECT_VERSION}-windows-x64)
add_custom_target(windows-zip ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/zip
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PLINTH_ZIP_DIR}/help
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:plinth> $<TARGET_FILE:plinth_bookinfo>
          $<TARGET_FILE:plinth-cli> ${PROJECT_SOURCE_DIR}/README.md
          ${PROJECT_SOURCE_DIR}/LICENSE ${PLINTH_ZIP_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/docs/help/index.html ${PLINTH_ZIP_DIR}/help
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/zip
          ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/plinth-${PROJECT_VERSION}-windows-x64.zip
          --format=zip plinth-${PROJECT_VERSION}-windows-x64
  DEPENDS plinth plinth_bookinfo plinth-cli
  BYPRODUCTS ${CMAKE_BINARY_DIR}/plinth-${PROJECT_VERSION}-windows-x64.zip
  VERBATIM)

# build/windows/plinth-VERSION-setup.exe: the setup program of data/windows/plinth.nsi,
# made with Debian's NSIS; its warnings are errors.
find_program(PLINTH_MAKENSIS makensis REQUIRED)
set(PLINTH_SETUP ${CMAKE_BINARY_DIR}/plinth-${PROJECT_VERSION}-setup.exe)
set(PLINTH_SETUP_SCRIPT ${PROJECT_SOURCE_DIR}/data/windows/plinth.nsi)
add_custom_command(OUTPUT ${PLINTH_SETUP}
  COMMAND ${PLINTH_MAKENSIS} -V2 -WX -INPUTCHARSET UTF8
          -DVERSION=${PROJECT_VERSION} -DOUTFILE=${PLINTH_SETUP}
          -DPLINTH_EXE=$<TARGET_FILE:plinth> -DPLINTH_CLI_EXE=$<TARGET_FILE:plinth-cli>
          -DBOOKINFO_DLL=$<TARGET_FILE:plinth_bookinfo>
          -DHELP_PAGE=${PROJECT_SOURCE_DIR}/docs/help/index.html
          -DREADME=${PROJECT_SOURCE_DIR}/README.md -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE
          -DICON=$<TARGET_PROPERTY:plinth,BINARY_DIR>/plinth.ico
          ${PLINTH_SETUP_SCRIPT}
  DEPENDS plinth plinth_bookinfo plinth-cli ${PLINTH_SETUP_SCRIPT}
          ${PROJECT_SOURCE_DIR}/docs/help/index.html ${PROJECT_SOURCE_DIR}/README.md
          ${PROJECT_SOURCE_DIR}/LICENSE
  VERBATIM)
add_custom_target(windows-setup ALL DEPENDS ${PLINTH_SETUP})
