# Builds a product library for the platform stand-in: a shared object whose
# export table (ordinals and names) is derived from the library's .def file
# and whose resources are the .rc file compiled by llvm-rc, embedded as the
# bytes of the .res file. The Win32 build reads the same two files.
find_program(LLVM_RC NAMES llvm-rc llvm-rc-14 llvm-rc-15 llvm-rc-16 REQUIRED)
# llvm-rc preprocesses the scripts (#include, #define) with clang; without it
# it skips the preprocessor and then fails on the first symbolic id.
find_program(CRESTUNE_RC_CLANG NAMES clang clang-14 clang-15 clang-16)
if(NOT CRESTUNE_RC_CLANG)
  message(FATAL_ERROR "llvm-rc needs clang to preprocess the resource scripts: install Debian's clang package "
                      "(tools/install-deps.sh does)")
endif()

set(WINCE_MODULE_SCRIPTS ${CMAKE_CURRENT_LIST_DIR})

# Compiles one resource script with llvm-rc. llvm-rc takes options with a
# slash, and an absolute input path that begins like an option with a joined
# value (/ci/... reads as /C, the code page) would be taken for that option:
# "--" ends the options before the input file.
#   crestune_compile_rc(OUTPUT <res> RC <rc> [INCLUDES dirs...] [DEPENDS files...]
#                       [COMMENT text])
function(crestune_compile_rc)
  cmake_parse_arguments(R "" "OUTPUT;RC;COMMENT" "INCLUDES;DEPENDS" ${ARGN})
  set(include_args)
  foreach(dir ${R_INCLUDES})
    list(APPEND include_args /I ${dir})
  endforeach()
  get_filename_component(rc_dir ${R_RC} DIRECTORY)
  add_custom_command(
    OUTPUT ${R_OUTPUT}
    COMMAND ${LLVM_RC} ${include_args} /FO ${R_OUTPUT} -- ${R_RC}
    DEPENDS ${R_RC} ${R_DEPENDS}
    WORKING_DIRECTORY ${rc_dir}
    COMMENT "${R_COMMENT}")
endfunction()

function(wince_add_module target)
  cmake_parse_arguments(M "" "DEF;RC" "SOURCES;RC_DEPENDS" ${ARGN})
  set(gen ${CMAKE_CURRENT_BINARY_DIR}/${target}_gen)
  file(MAKE_DIRECTORY ${gen})
  add_custom_command(
    OUTPUT ${gen}/exports.cpp
    COMMAND ${CMAKE_COMMAND} -DDEF=${M_DEF} -DOUT=${gen}/exports.cpp -P ${WINCE_MODULE_SCRIPTS}/def_to_exports.cmake
    DEPENDS ${M_DEF} ${WINCE_MODULE_SCRIPTS}/def_to_exports.cmake
    COMMENT "Export table of ${target} from its .def file")
  get_filename_component(rc_dir ${M_RC} DIRECTORY)
  crestune_compile_rc(OUTPUT ${gen}/resources.res RC ${M_RC}
                      INCLUDES ${rc_dir} ${CRESTUNE_ICON_DIR}
                      DEPENDS ${M_RC_DEPENDS}
                      COMMENT "Resources of ${target}")
  add_custom_command(
    OUTPUT ${gen}/resources.cpp
    COMMAND ${CMAKE_COMMAND} -DIN=${gen}/resources.res -DOUT=${gen}/resources.cpp -P ${WINCE_MODULE_SCRIPTS}/res_to_cpp.cmake
    DEPENDS ${gen}/resources.res ${WINCE_MODULE_SCRIPTS}/res_to_cpp.cmake)
  # The library's own sources are compiled once, position-independent, and
  # go both into the module and into a static library of the same objects,
  # so that unit tests can call the library's own functions.
  add_library(${target}_objects OBJECT ${M_SOURCES})
  set_target_properties(${target}_objects PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_link_libraries(${target}_objects PUBLIC wince crestune_common)
  target_include_directories(${target}_objects PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(${target}_objects PRIVATE ${CRESTUNE_PRODUCT_FLAGS})
  add_library(${target} MODULE $<TARGET_OBJECTS:${target}_objects> ${gen}/exports.cpp ${gen}/resources.cpp)
  set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX ".so")
  target_link_libraries(${target} PRIVATE wince)
  target_compile_options(${target} PRIVATE ${CRESTUNE_PRODUCT_FLAGS})
  add_dependencies(${target} icons)
  if(CRESTUNE_FUZZ)
    # The loader unloads a module, and libFuzzer cannot forget the coverage
    # counters of one: the module goes without them, and the static library
    # the fuzz targets link keeps them, from objects of its own.
    target_compile_options(${target}_objects PRIVATE -fno-sanitize=fuzzer-no-link)
    target_compile_options(${target} PRIVATE -fno-sanitize=fuzzer-no-link)
    add_library(${target}_logic STATIC ${M_SOURCES})
    target_compile_options(${target}_logic PRIVATE ${CRESTUNE_PRODUCT_FLAGS})
  else()
    add_library(${target}_logic STATIC $<TARGET_OBJECTS:${target}_objects>)
  endif()
  target_link_libraries(${target}_logic PUBLIC wince crestune_common)
  target_include_directories(${target}_logic PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()
