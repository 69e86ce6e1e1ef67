# The Win32 build: the product libraries as real 32-bit DLLs (mingw-w64),
# our aygshell.dll standing in for the Pocket PC shell library, and the test
# host that runs them under Wine (win32/run-tests.sh).
#
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=win32/toolchain-i686-mingw.cmake \
#         -DCRESTUNE_ICON_DIR=<folder holding icon_101.ico ... icon_115.ico>
enable_language(RC)

set(CRESTUNE_ICON_DIR "" CACHE PATH "Folder of the generated button icons (icon_<id>.ico)")
if(NOT CRESTUNE_ICON_DIR OR NOT EXISTS "${CRESTUNE_ICON_DIR}/icon_101.ico")
  message(FATAL_ERROR "The Win32 build needs -DCRESTUNE_ICON_DIR=<folder with icon_101.ico ...>; "
                      "the host build writes them to <host build>/icons")
endif()
# The same two lists as the host build's, for the libraries' RC_DEPENDS.
file(GLOB CRESTUNE_ITEM_ICON_FILES CONFIGURE_DEPENDS "${CRESTUNE_ICON_DIR}/icon_*.ico")
file(GLOB CRESTUNE_SETUP_ICON_FILES CONFIGURE_DEPENDS "${CRESTUNE_ICON_DIR}/setup_*.ico")

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)

# Every target: the wide-character platform API, and nothing but system
# DLLs (and our aygshell.dll) at load time.
add_compile_definitions(UNICODE _UNICODE)
add_link_options(-static-libgcc -static-libstdc++)

# The product throws nothing and catches nothing: its DLLs carry no unwind
# tables (.eh_frame) for code that never unwinds.
set(CRESTUNE_NO_UNWIND_FLAGS -fno-asynchronous-unwind-tables -fno-unwind-tables)

# A product library as a Win32 DLL: exports from its .def file (which mingw
# reads as given; ld's stdcall fixup binds an undecorated .def name to a
# CALLBACK function's decorated symbol), resources compiled by windres.
function(wince_add_module target)
  cmake_parse_arguments(M "" "DEF;RC" "SOURCES;RC_DEPENDS" ${ARGN})
  get_filename_component(rc_dir ${M_RC} DIRECTORY)
  add_library(${target} SHARED ${M_SOURCES} ${M_DEF} ${M_RC})
  set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX ".dll")
  target_include_directories(${target} PRIVATE ${rc_dir} ${CRESTUNE_ICON_DIR})
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${CRESTUNE_PRODUCT_FLAGS}>
                                           $<$<COMPILE_LANGUAGE:CXX>:${CRESTUNE_NO_UNWIND_FLAGS}>)
  target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
  target_link_libraries(${target} PRIVATE aygshell crestune_common)
  set_source_files_properties(${M_RC} PROPERTIES OBJECT_DEPENDS "${M_RC_DEPENDS}")
endfunction()

# GoogleTest for the platform tests that run under Wine, built here from the
# sources the system's googletest package ships, with this toolchain: static,
# no pthreads (this mingw has Win32 threads), no gmock.
set(CRESTUNE_GTEST_SOURCE /usr/src/googletest/googletest CACHE PATH "GoogleTest sources for the Win32 build")
if(NOT EXISTS "${CRESTUNE_GTEST_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "The Win32 build needs GoogleTest's sources in ${CRESTUNE_GTEST_SOURCE} "
                      "(the googletest package), or -DCRESTUNE_GTEST_SOURCE=<folder>")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_SHARED_LIBS OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${CRESTUNE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Win32 threads give no std::mutex: GoogleTest does without its locks, set
# up in its hook header for embedders (win32/gtest), seen by gtest itself and
# by every test that includes it.
target_include_directories(gtest BEFORE PUBLIC ${CMAKE_SOURCE_DIR}/win32/gtest)
target_sources(gtest PRIVATE ${CMAKE_SOURCE_DIR}/win32/gtest/auto_handle.cpp)

add_subdirectory(${CMAKE_SOURCE_DIR}/win32 ${CMAKE_BINARY_DIR}/win32)
add_subdirectory(${CMAKE_SOURCE_DIR}/item ${CMAKE_BINARY_DIR}/item)
add_subdirectory(${CMAKE_SOURCE_DIR}/setup ${CMAKE_BINARY_DIR}/setup)
add_subdirectory(${CMAKE_SOURCE_DIR}/tests/win32 ${CMAKE_BINARY_DIR}/tests/win32)
add_subdirectory(${CMAKE_SOURCE_DIR}/win32/bench ${CMAKE_BINARY_DIR}/win32/bench)
