# Test harness: every Windows test executable runs under Wine in the build's own prefix.
#
# Fixture "wine_prefix" makes the prefix and keeps one wineserver alive for the whole run;
# fixture "nko_server" runs the kernel-object server (nkoserver.exe) in it, because every process
# that makes a global named object asks that server first (and waits 10 s for it when it is not
# there); fixture "wine" holds the registration steps that components add with mrv_wine_setup().
# Tests made with mrv_add_wine_test() require all three.

set(MRV_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-prefix.sh.in ${CMAKE_BINARY_DIR}/wine-prefix
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE @ONLY)
set(MRV_WINE_RUN "${CMAKE_BINARY_DIR}/wine-run")
set(MRV_NKOSERVER "${CMAKE_BINARY_DIR}/bin/nkoserver.exe")
configure_file(${CMAKE_CURRENT_LIST_DIR}/nko-server.sh.in ${CMAKE_BINARY_DIR}/nko-server
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR "${MRV_WINE_RUN}")

enable_testing()
include(GoogleTest)

add_test(NAME wine.start COMMAND ${CMAKE_BINARY_DIR}/wine-prefix start)
add_test(NAME wine.stop COMMAND ${CMAKE_BINARY_DIR}/wine-prefix stop)
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 300)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine_prefix)

add_test(NAME nkoserver.start COMMAND ${CMAKE_BINARY_DIR}/nko-server start)
add_test(NAME nkoserver.stop COMMAND ${CMAKE_BINARY_DIR}/nko-server stop)
set_tests_properties(nkoserver.start PROPERTIES
    FIXTURES_SETUP nko_server FIXTURES_REQUIRED wine_prefix TIMEOUT 120)
set_tests_properties(nkoserver.stop PROPERTIES
    FIXTURES_CLEANUP nko_server FIXTURES_REQUIRED wine_prefix TIMEOUT 60)

# mrv_wine_setup(<name> COMMAND <args...> [DEPENDS <setup tests...>])
# A step that prepares the prefix before any Windows test runs (registration, servers).
function(mrv_wine_setup name)
    cmake_parse_arguments(ARG "" "" "COMMAND;DEPENDS" ${ARGN})
    add_test(NAME setup.${name} COMMAND ${MRV_WINE_RUN} ${ARG_COMMAND})
    set_tests_properties(setup.${name} PROPERTIES
        FIXTURES_SETUP wine FIXTURES_REQUIRED "wine_prefix;nko_server" TIMEOUT 120)
    if(ARG_DEPENDS)
        set_tests_properties(setup.${name} PROPERTIES DEPENDS "${ARG_DEPENDS}")
    endif()
endfunction()

# mrv_wine_cleanup(<name> COMMAND <args...>): a step run after every Windows test.
function(mrv_wine_cleanup name)
    cmake_parse_arguments(ARG "" "" "COMMAND" ${ARGN})
    add_test(NAME cleanup.${name} COMMAND ${MRV_WINE_RUN} ${ARG_COMMAND})
    set_tests_properties(cleanup.${name} PROPERTIES
        FIXTURES_CLEANUP wine FIXTURES_REQUIRED "wine_prefix;nko_server" TIMEOUT 120)
endfunction()

# mrv_add_wine_test(<name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <s>] [RUN_SERIAL]
#                   [FIXTURES <fixtures...>] [RESOURCE_LOCK <resource>])
# A GoogleTest executable whose cases become CTest tests of their own (<name>.<Suite>.<Case>),
# so that a failure names its case and `ctest -R` runs one. The cases are listed when ctest
# starts (the executable runs under Wine with --gtest_list_tests), so start the prefix first:
# scripts/test.sh does. RUN_SERIAL: cases that must not run beside any other test. FIXTURES:
# fixtures the cases need besides Wine's. RESOURCE_LOCK: cases that take turns on a resource.
function(mrv_add_wine_test name)
    cmake_parse_arguments(ARG "RUN_SERIAL" "TIMEOUT;RESOURCE_LOCK" "SOURCES;LIBS;FIXTURES"
                          ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} gtest gmock gtest_main)
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set(serial FALSE)
    if(ARG_RUN_SERIAL)
        set(serial TRUE)
    endif()
    gtest_discover_tests(${name}
        TEST_PREFIX "${name}."
        EXTRA_ARGS --gtest_color=no
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        TEST_LIST ${name}_cases
        PROPERTIES TIMEOUT ${ARG_TIMEOUT} RUN_SERIAL ${serial})
    # The discovery flattens list-valued properties, so the fixtures are set by a script that
    # runs after it, on the cases it listed.
    set(fixtures "${CMAKE_CURRENT_BINARY_DIR}/${name}_fixtures.cmake")
    set(required wine_prefix nko_server wine ${ARG_FIXTURES})
    set(lock "")
    if(ARG_RESOURCE_LOCK)
        set(lock " RESOURCE_LOCK ${ARG_RESOURCE_LOCK}")
    endif()
    file(WRITE ${fixtures} "if(${name}_cases)\n"
        "  set_tests_properties(\${${name}_cases} PROPERTIES\n"
        "      FIXTURES_REQUIRED \"${required}\"${lock})\n"
        "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${fixtures})
endfunction()

# "wine path": the Windows name (Z:\...) of a file in the build tree, for command lines of
# Windows programs such as regsvr32.
function(mrv_windows_path out unix_path)
    string(REPLACE "/" "\\" win "Z:${unix_path}")
    set(${out} "${win}" PARENT_SCOPE)
endfunction()
