# The image tool's tests: a tiny library built for ARM with the device
# toolchain (clang, ld.lld, llvm-rc), made into a PE image and read back;
# and the device runtime's helpers, compiled for this machine.
find_program(PEIMAGE_TEST_LLD NAMES ld.lld-14 ld.lld)
if(NOT PEIMAGE_TEST_LLD OR NOT CRESTUNE_RC_CLANG)
  message(FATAL_ERROR "The image tool's tests need clang and ld.lld (Debian's clang-14 and lld-14)")
endif()
set(src ${CMAKE_CURRENT_SOURCE_DIR}/peimage/testdata)
set(out ${CMAKE_CURRENT_BINARY_DIR}/peimage_testdata)
file(MAKE_DIRECTORY ${out})
set(arm_target --target=armv4-none-eabi -marm -mcpu=strongarm1110 -mfloat-abi=soft)
set(arm ${arm_target} -ffreestanding -fno-unwind-tables -O2)
add_custom_command(
  OUTPUT ${out}/tiny.o ${out}/divide.o ${out}/strings.o
  COMMAND ${CRESTUNE_RC_CLANG} ${arm} -c ${src}/tiny.c -o ${out}/tiny.o
  COMMAND ${CRESTUNE_RC_CLANG} ${arm} -c ${CMAKE_SOURCE_DIR}/device/runtime/divide.c -o ${out}/divide.o
  COMMAND ${CRESTUNE_RC_CLANG} ${arm} -c ${CMAKE_SOURCE_DIR}/device/runtime/strings.c -o ${out}/strings.o
  DEPENDS ${src}/tiny.c ${CMAKE_SOURCE_DIR}/device/runtime/divide.c ${CMAKE_SOURCE_DIR}/device/runtime/strings.c)
add_custom_command(
  OUTPUT ${out}/tiny.elf
  COMMAND peimage thunks --imports ${src}/tiny_imports.txt --out ${out}/thunks.s --runtime-list ${out}/runtime.rsp
          ${out}/tiny.o --runtime ${out}/divide.o ${out}/strings.o
  COMMAND ${CRESTUNE_RC_CLANG} ${arm_target} -c ${out}/thunks.s -o ${out}/thunks.o
  COMMAND ${PEIMAGE_TEST_LLD} -T ${CMAKE_SOURCE_DIR}/device/link.ld --emit-relocs -e DllMain -o ${out}/tiny.elf
          ${out}/tiny.o ${out}/thunks.o @${out}/runtime.rsp
  DEPENDS peimage ${out}/tiny.o ${out}/divide.o ${out}/strings.o ${src}/tiny_imports.txt ${CMAKE_SOURCE_DIR}/device/link.ld
  COMMENT "The image tool's tiny ARM library")
crestune_compile_rc(OUTPUT ${out}/tiny.res RC ${src}/tiny.rc DEPENDS ${src}/hello.txt)
add_custom_target(peimage_testdata DEPENDS ${out}/tiny.elf ${out}/tiny.res)

add_executable(peimage_tests ${CMAKE_CURRENT_SOURCE_DIR}/peimage/peimage_test.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/peimage/runtime_test.cpp
               ${CMAKE_SOURCE_DIR}/device/runtime/divide.c ${CMAKE_SOURCE_DIR}/device/runtime/strings.c)
target_link_libraries(peimage_tests PRIVATE peimage_lib GTest::gtest GTest::gtest_main)
target_compile_definitions(peimage_tests PRIVATE PEIMAGE_TESTDATA="${out}" PEIMAGE_TESTSRC="${src}")
add_dependencies(peimage_tests peimage_testdata)
gtest_discover_tests(peimage_tests DISCOVERY_TIMEOUT 60)
