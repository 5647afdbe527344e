# cmake -P: the release check refuses what no release may ship with, and accepts a real pair.
cmake_minimum_required(VERSION 3.21)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/TervaneRelease.cmake)
set(pin "0123456789abcdef0123456789abcdef0123456789ABCDEF0123456789abcdef")
set(origin "${CMAKE_CURRENT_BINARY_DIR}/release-check-origin.cpp")
set(real "const wchar_t ServiceOrigin[] = L\"https://connect.example.com\";\n"
         "const wchar_t UpdateServiceOrigin[] = L\"https://connect.example.com\";\n")
string(CONCAT real ${real})
set(placeholder "const wchar_t ServiceOrigin[] = L\"https://connect.tervane.invalid\";\n")
set(plain "const wchar_t ServiceOrigin[] = L\"http://connect.example.com\";\n")
set(failed 0)
# pin | origin file content | accepted
foreach(case "${pin}|real|YES" "|real|NO" "${pin}0|real|NO" "${pin}|placeholder|NO"
        "g123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef|real|NO"
        "${pin}|plain|NO")
    string(REPLACE "|" ";" fields "${case}")
    list(GET fields 0 case_pin)
    list(GET fields 1 content)
    list(GET fields 2 accepted)
    file(WRITE "${origin}" "${${content}}")
    tervane_release_problem(problem "${case_pin}" "${origin}")
    if((accepted AND problem) OR (NOT accepted AND NOT problem))
        message("FAILED: pin '${case_pin}', ${content} origin: '${problem}'")
        math(EXPR failed "${failed} + 1")
    endif()
endforeach()
if(failed)
    message(FATAL_ERROR "release check: ${failed} failed")
endif()
