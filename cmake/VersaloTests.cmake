find_package(GTest REQUIRED)
include(GoogleTest)

# versalo_add_test(NAME name SOURCES ... [LIBS ...])
# versalo_add_test(NAME name SCRIPT script.sh [ARGS ...])
#
# The one place where a test is registered: a GoogleTest program built from SOURCES, or a shell
# script beside the CMakeLists.txt that registers it. Every test runs with a fixed locale, headless
# Qt, and a private HOME and XDG_CONFIG_HOME so that nothing can reach the real user's settings.
function(versalo_add_test)
    cmake_parse_arguments(T "" "NAME;SCRIPT" "SOURCES;LIBS;ARGS" ${ARGN})
    set(sandbox "${CMAKE_BINARY_DIR}/test-home/${T_NAME}")
    file(MAKE_DIRECTORY "${sandbox}/config")
    set(env "LANG=C.UTF-8;LC_ALL=C.UTF-8;HOME=${sandbox};XDG_CONFIG_HOME=${sandbox}/config;QT_QPA_PLATFORM=offscreen"
            "VERSALO_CLI=$<TARGET_FILE:versalo-cli>;VERSALO_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
    if(T_SCRIPT)
        add_test(NAME ${T_NAME} COMMAND sh "${CMAKE_CURRENT_SOURCE_DIR}/${T_SCRIPT}" ${T_ARGS})
        set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}")
        return()
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    versalo_warnings(${T_NAME})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} versalo_test_support GTest::gtest GTest::gtest_main)
    # The environment is set by running each test (and its discovery) through "cmake -E env":
    # gtest_discover_tests would split a list handed to its ENVIRONMENT property into words.
    set_property(TARGET ${T_NAME} PROPERTY CROSSCOMPILING_EMULATOR "${CMAKE_COMMAND};-E;env;${env}")
    gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60)
endfunction()
