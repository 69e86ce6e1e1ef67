# The ARM toolchain of the device build, all from Debian: clang for ARM
# state, ld.lld, llvm-rc, and peimage for the one step no Debian linker
# does (a Windows CE ARM PE image).
#
# Where clang's ARM ABI (AAPCS, armv4-none-eabi) and the device's (the
# Windows CE ARM calling standard, ARM's older APCS) differ for what the
# product passes, and what makes them agree:
#  - enums: bare-metal EABI makes enums as small as their values; the device
#    makes them int-sized (TODAYLISTITEM's tlit, the installer's result
#    codes): -fno-short-enums.
#  - wchar_t and WCHAR: 16 bits on the device: -fshort-wchar (WCHAR is
#    char16_t in our headers, wchar_t matches it).
#  - the stack: AAPCS keeps 8-byte alignment at calls, the device 4:
#    -mstack-alignment=4 so that no code counts on more than it is given
#    (ARMv4 has no LDRD/STRD that would fault either way).
#  - 64-bit arguments: AAPCS starts them at an even register (r0 or r2),
#    APCS at the next free one. The product passes no 64-bit value to or
#    from the platform (nor double), so no call is affected.
#  - structure returns: the device's compiler returns every structure
#    through a hidden pointer, AAPCS one of 4 bytes or less in r0. No
#    platform function or callback the product uses returns a structure
#    (POINT is passed by value to the product's own functions, which both
#    sides of a call compile alike).
#  - registers r0-r3 for the first four words, r4-r11 saved by the callee
#    (the device saves r9 and r10 too, as clang does on this target), the
#    result in r0 (r0:r1 for 64 bits): the same.
# And for the device's loader and processor:
#  - ARM state only, ARMv4 (StrongARM): -marm -mcpu=strongarm1110; returns
#    are "mov pc, lr", calls through pointers "mov lr, pc; mov pc, rN", so
#    no BX, BLX or CLZ is emitted (tests/device/check_images.py scans for
#    them). lld warns that it would use BLX for ARM/Thumb interworking;
#    with no Thumb code it never does.
#  - no -fPIC: the image carries base relocations for every absolute
#    address instead (the device places DLLs where it chooses).
#  - no C library: -ffreestanding -nostdlibinc (clang's own stddef.h and
#    stdint.h only); the C functions the code calls are COREDLL's
#    (device/imports.txt), the EABI helper routines device/runtime's.
#  - no exceptions, RTTI, unwind tables, thread-safe statics or TLS; data
#    in .data/.bss (-fno-common); static constructors fail the link.
find_program(DEVICE_CLANG NAMES clang-14 clang REQUIRED)
find_program(DEVICE_LLD NAMES ld.lld-14 ld.lld REQUIRED)

set(DEVICE_TARGET_FLAGS --target=armv4-none-eabi -marm -mcpu=strongarm1110 -mfloat-abi=soft)
set(DEVICE_C_FLAGS ${DEVICE_TARGET_FLAGS} -ffreestanding -nostdlibinc -fno-pic -fno-common
    -fshort-wchar -fno-short-enums -mstack-alignment=4 -fno-unwind-tables -fno-asynchronous-unwind-tables
    -O2 -Wall -Wextra)
set(DEVICE_CXX_FLAGS ${DEVICE_C_FLAGS} -std=c++20 -fno-exceptions -fno-rtti -fno-threadsafe-statics
    -fno-use-cxa-atexit)
set(DEVICE_DEFINES -D_WIN32 -D_WIN32_WCE=300 -DUNDER_CE -DARM -D_ARM_ -DUNICODE -D_UNICODE)
set(DEVICE_INCLUDES -I${CRESTUNE_ROOT}/wince/include -I${CRESTUNE_ROOT}/common)
set(DEVICE_IMPORTS ${CMAKE_CURRENT_LIST_DIR}/imports.txt)
set(DEVICE_LINK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/link.ld)

# Compiles one source for the device; header dependencies from clang's
# depfile.  device_compile(<object> <source> <C|CXX> [flags...])
function(device_compile object source lang)
  if(lang STREQUAL "C")
    set(flags ${DEVICE_C_FLAGS})
  else()
    set(flags ${DEVICE_CXX_FLAGS})
  endif()
  add_custom_command(
    OUTPUT ${object}
    COMMAND ${DEVICE_CLANG} ${flags} ${DEVICE_DEFINES} ${DEVICE_INCLUDES} ${ARGN}
            -MD -MF ${object}.d -c ${source} -o ${object}
    DEPENDS ${source}
    DEPFILE ${object}.d
    COMMENT "ARM ${source}")
endfunction()

# The structure layouts the device expects, checked at compile time.
set(abi_stamp ${CMAKE_BINARY_DIR}/abi_sizes.checked)
add_custom_command(
  OUTPUT ${abi_stamp}
  COMMAND ${DEVICE_CLANG} ${DEVICE_CXX_FLAGS} ${DEVICE_DEFINES} ${DEVICE_INCLUDES}
          -MD -MF ${abi_stamp}.d -fsyntax-only ${CMAKE_CURRENT_LIST_DIR}/abi_sizes.cpp
  COMMAND ${CMAKE_COMMAND} -E touch ${abi_stamp}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/abi_sizes.cpp
  DEPFILE ${abi_stamp}.d
  COMMENT "Structure sizes of the device")
add_custom_target(device_abi ALL DEPENDS ${abi_stamp})

#   device_add_library(<name> DEF <def> RC <rc> RC_DEPENDS <icons...> SOURCES <files in the .def's folder>)
# Compiles, plans the import thunks, links with ld.lld (relocations kept),
# compiles the resources and writes <build>/<name>.dll.
function(device_add_library name)
  cmake_parse_arguments(D "" "DEF;RC" "SOURCES;RC_DEPENDS" ${ARGN})
  get_filename_component(src_dir ${D_DEF} DIRECTORY)
  set(gen ${CMAKE_BINARY_DIR}/${name})
  file(MAKE_DIRECTORY ${gen})
  set(objects)
  foreach(src ${D_SOURCES})
    get_filename_component(base ${src} NAME_WE)
    device_compile(${gen}/${base}.o ${src_dir}/${src} CXX -I${src_dir})
    list(APPEND objects ${gen}/${base}.o)
  endforeach()

  add_custom_command(
    OUTPUT ${gen}/thunks.s ${gen}/runtime.rsp
    COMMAND peimage thunks --imports ${DEVICE_IMPORTS} --out ${gen}/thunks.s --runtime-list ${gen}/runtime.rsp
            ${objects} --runtime ${DEVICE_RUNTIME_OBJECTS}
    DEPENDS peimage ${DEVICE_IMPORTS} ${objects} ${DEVICE_RUNTIME_OBJECTS}
    COMMENT "Import thunks of ${name}")
  add_custom_command(
    OUTPUT ${gen}/thunks.o
    COMMAND ${DEVICE_CLANG} ${DEVICE_TARGET_FLAGS} -c ${gen}/thunks.s -o ${gen}/thunks.o
    DEPENDS ${gen}/thunks.s)
  add_custom_command(
    OUTPUT ${gen}/${name}.elf
    COMMAND ${DEVICE_LLD} -T ${DEVICE_LINK_SCRIPT} --emit-relocs -e DllMain -o ${gen}/${name}.elf
            ${objects} ${gen}/thunks.o @${gen}/runtime.rsp
    DEPENDS ${objects} ${gen}/thunks.o ${gen}/runtime.rsp ${DEVICE_LINK_SCRIPT}
    COMMENT "Linking ${name} for ARM")
  crestune_compile_rc(OUTPUT ${gen}/${name}.res RC ${D_RC}
                      INCLUDES ${src_dir} ${CRESTUNE_ICON_DIR}
                      DEPENDS ${D_RC_DEPENDS}
                      COMMENT "Resources of ${name}")
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/${name}.dll
    COMMAND peimage image --imports ${DEVICE_IMPORTS} --def ${D_DEF} --res ${gen}/${name}.res --entry DllMain
            --out ${CMAKE_BINARY_DIR}/${name}.dll ${gen}/${name}.elf
    DEPENDS peimage ${DEVICE_IMPORTS} ${D_DEF} ${gen}/${name}.elf ${gen}/${name}.res
    COMMENT "Windows CE image ${name}.dll")
  add_custom_target(${name} ALL DEPENDS ${CMAKE_BINARY_DIR}/${name}.dll)
  add_dependencies(${name} icons device_abi device_runtime)
endfunction()
