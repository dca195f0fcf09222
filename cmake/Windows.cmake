# What the Windows build needs that Debian has no MinGW package for, made from what it does have:
# libfmt in its header-only form (its headers, copied so that no Linux header is on the include
# path) and GoogleTest built from the sources of Debian's googletest package.

# The program calls the wide-character interfaces by name; windows.h is only ever included through
# platform/Win32.h, which keeps its macros from renaming our functions.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0601)

# MinGW's GCC 12 at -O3 reports overflows inside std::string copies it inlined itself (from
# "text" + std::string and the like); they are false alarms that -Werror would make fatal.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-stringop-overflow -Wno-array-bounds -Wno-restrict)
endif()

# Statically linked: tola.exe and the test programs run without any DLL beside them.
add_link_options(-static -static-libgcc -static-libstdc++)

set(TOLA_FMT_HEADERS /usr/include/fmt CACHE PATH "libfmt's headers, used header-only")
if(NOT EXISTS ${TOLA_FMT_HEADERS}/printf.h)
  message(FATAL_ERROR "libfmt's headers are not in ${TOLA_FMT_HEADERS} (Debian package libfmt-dev)")
endif()
file(COPY ${TOLA_FMT_HEADERS}/ DESTINATION ${CMAKE_BINARY_DIR}/fmt-include/fmt)
add_library(tola_fmt INTERFACE)
target_include_directories(tola_fmt SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/fmt-include)
target_compile_definitions(tola_fmt INTERFACE FMT_HEADER_ONLY)
add_library(fmt::fmt ALIAS tola_fmt)

if(TOLA_BUILD_TESTS)
  set(TOLA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources")
  if(NOT EXISTS ${TOLA_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest's sources are not in ${TOLA_GOOGLETEST_SOURCE} (Debian package googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  # Our warnings are for our code, not GoogleTest's.
  get_directory_property(tola_options COMPILE_OPTIONS)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
  add_subdirectory(${TOLA_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "${tola_options}")
endif()
