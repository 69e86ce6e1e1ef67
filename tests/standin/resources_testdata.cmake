# Test data of the resource loader tests: a .res compiled by llvm-rc from
# resources_test.rc, with the icons that icongen draws.
set(res_test_dir ${CMAKE_BINARY_DIR}/testdata)
file(MAKE_DIRECTORY ${res_test_dir})
crestune_compile_rc(OUTPUT ${res_test_dir}/resources_test.res
                    RC ${CMAKE_CURRENT_LIST_DIR}/resources_test.rc
                    INCLUDES ${CRESTUNE_ICON_DIR}
                    DEPENDS ${CRESTUNE_ICON_FILES}
                    COMMENT "Resources of the resource loader tests")
add_custom_target(resources_testdata DEPENDS ${res_test_dir}/resources_test.res)
add_dependencies(resources_testdata icons)
add_dependencies(standin_tests resources_testdata)
target_compile_definitions(standin_tests PRIVATE CRESTUNE_TEST_RES="${res_test_dir}/resources_test.res")
target_link_libraries(standin_tests PRIVATE PNG::PNG)
