# Test registration shared by every test folder.
#
# On the host build a suite runs natively; on the Windows build the same suite is cross-compiled
# and ctest runs it under Wine in a private prefix inside the build tree.

if(WIN32 AND CMAKE_CROSSCOMPILING)
    set(TERVANE_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
    set(TERVANE_WINRT_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix-winrt")
    set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/tools/wine-run.sh")
endif()

# tervane_add_test_suite(<name> SOURCES <files...> LIBS <targets...>)
function(tervane_add_test_suite name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES} ${CMAKE_SOURCE_DIR}/tests/support/platform_banner.cpp)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} gtest gmock gtest_main)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    if(TERVANE_WINEPREFIX)
        set_tests_properties(${name} PROPERTIES
            ENVIRONMENT "WINEPREFIX=${TERVANE_WINEPREFIX}"
            FIXTURES_REQUIRED "wine_display;wine_prefix"
            LABELS "wine")
    else()
        set_tests_properties(${name} PROPERTIES LABELS "host")
    endif()
endfunction()

# The first Wine start creates the prefix; doing it once up front keeps parallel suites from
# racing to create it.
# Windows get an Xvfb of their own for the run unless DISPLAY is set, so message boxes and
# windows really appear.
function(tervane_add_wine_prefix_fixture)
    if(TERVANE_WINEPREFIX)
        add_test(NAME wine_display_setup
                 COMMAND "${CMAKE_SOURCE_DIR}/tools/xvfb-start.sh" "${TERVANE_WINEPREFIX}")
        add_test(NAME wine_display_cleanup
                 COMMAND "${CMAKE_SOURCE_DIR}/tools/xvfb-stop.sh" "${TERVANE_WINEPREFIX}")
        add_test(NAME wine_prefix_setup
                 COMMAND "${CMAKE_SOURCE_DIR}/tools/wine-prefix-init.sh" "${TERVANE_WINEPREFIX}")
        set_tests_properties(wine_display_setup PROPERTIES FIXTURES_SETUP wine_display
                             LABELS "wine")
        set_tests_properties(wine_display_cleanup PROPERTIES FIXTURES_CLEANUP "wine_display;wine_prefix"
                             LABELS "wine")
        set_tests_properties(wine_prefix_setup PROPERTIES FIXTURES_SETUP wine_prefix
                             FIXTURES_REQUIRED wine_display LABELS "wine")
        # The prefix where the test provider of the Bluetooth runtime classes is registered.
        add_test(NAME winrt_prefix_setup
                 COMMAND "${CMAKE_SOURCE_DIR}/tools/wine-prefix-init.sh"
                         "${TERVANE_WINRT_WINEPREFIX}")
        set_tests_properties(winrt_prefix_setup PROPERTIES FIXTURES_SETUP winrt_prefix
                             LABELS "wine")
    endif()
endfunction()

# tervane_use_winrt_provider(<test executable target>): puts the test provider DLL beside the
# executable and runs its test in a prefix of its own, where the provider registers itself.
function(tervane_use_winrt_provider target)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:tervane_winrt_provider>
                $<TARGET_FILE_DIR:${target}>)
    if(TERVANE_WINEPREFIX AND TEST ${target})
        set_tests_properties(${target} PROPERTIES
            ENVIRONMENT "WINEPREFIX=${TERVANE_WINRT_WINEPREFIX}"
            FIXTURES_REQUIRED "winrt_prefix"
            LABELS "wine")
        # Each run registers its own copy of the DLL: two at once would activate each other's.
        set_property(TEST ${target} APPEND PROPERTY RESOURCE_LOCK winrt_registration)
    endif()
endfunction()
