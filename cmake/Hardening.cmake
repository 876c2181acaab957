# Debian's hardening flags for every target of a GCC or Clang build on Linux:
# stack protector, stack clash protection, control-flow protection, source
# fortification (with optimisation only: glibc needs it), position-independent
# executables and read-only relocations with immediate binding.
#
# Off by default in the sanitizer and fuzz builds (compiler flags that hold
# -fsanitize), which check more than these flags do and are never shipped;
# PLINTH_HARDENING=OFF turns them off in any build.
include(CheckCXXCompilerFlag)
include(CheckPIESupported)

if(CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  set(plinth_hardening_default OFF)
else()
  set(plinth_hardening_default ON)
endif()
option(PLINTH_HARDENING "Build with the distribution's hardening flags" ${plinth_hardening_default})

if(PLINTH_HARDENING AND CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT WIN32
   AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  foreach(flag -fstack-protector-strong -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "PLINTH_HAS${flag}" supported)
    check_cxx_compiler_flag(${flag} ${supported})
    if(${supported})
      add_compile_options(${flag})
    endif()
  endforeach()
  add_compile_definitions($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
  check_pie_supported(LANGUAGES CXX)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  add_link_options(LINKER:-z,relro,-z,now)
endif()
