# The emulated processor, its thunks and the ARM image loader: what the
# stand-in's insides do for guest code (so these tests see wince/src).
crestune_test(cpu_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/cpu_test.cpp)
target_include_directories(cpu_tests PRIVATE ${CMAKE_SOURCE_DIR}/wince/src ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(cpu_tests PRIVATE unicorn)
