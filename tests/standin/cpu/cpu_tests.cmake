# The emulated processor, its thunks and the ARM image loader: what the
# stand-in's insides do for guest code (so these tests see wince/src).
crestune_test(cpu_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/cpu_test.cpp ${CMAKE_CURRENT_LIST_DIR}/arm_image_test.cpp)
target_include_directories(cpu_tests PRIVATE ${CMAKE_SOURCE_DIR}/wince/src ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(cpu_tests PRIVATE unicorn)
# The device build's libraries, when tools/device-build.sh has made them
# there (CRESTUNE_DEVICE_DIR in the environment overrides it); the tests
# that load them are skipped otherwise.
set(CRESTUNE_DEVICE_DIR ${CMAKE_BINARY_DIR}/device CACHE PATH "Where tools/device-build.sh left crestitem.dll and setup.dll")
target_compile_definitions(cpu_tests PRIVATE CRESTUNE_DEVICE_DIR_DEFAULT="${CRESTUNE_DEVICE_DIR}")
