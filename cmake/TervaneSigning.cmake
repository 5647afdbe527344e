# Test code-signing certificates for the Windows build: made once per build folder, never
# committed. The demo flavour pins the signer certificate's fingerprint.
if(WIN32 AND CMAKE_CROSSCOMPILING AND NOT TERVANE_FUZZ)
    set(TERVANE_SIGNING_DIR "${CMAKE_BINARY_DIR}/signing")
    execute_process(
        COMMAND "${CMAKE_SOURCE_DIR}/tools/signing/make-test-certificates.sh" "${TERVANE_SIGNING_DIR}"
        RESULT_VARIABLE signing_result)
    if(NOT signing_result EQUAL 0)
        message(FATAL_ERROR "Could not create the test signing certificates (is openssl installed?)")
    endif()
    file(READ "${TERVANE_SIGNING_DIR}/signer.sha256" TERVANE_TEST_SIGNER_SHA256)
    string(STRIP "${TERVANE_TEST_SIGNER_SHA256}" TERVANE_TEST_SIGNER_SHA256)
    file(READ "${TERVANE_SIGNING_DIR}/other.sha256" TERVANE_OTHER_SIGNER_SHA256)
    string(STRIP "${TERVANE_OTHER_SIGNER_SHA256}" TERVANE_OTHER_SIGNER_SHA256)

    # tervane_sign_after_build(<target> [signer|other]): Authenticode-signs the built file.
    function(tervane_sign_after_build target)
        set(identity signer)
        if(ARGC GREATER 1)
            set(identity ${ARGV1})
        endif()
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND "${CMAKE_SOURCE_DIR}/tools/signing/sign-file.sh" "${TERVANE_SIGNING_DIR}"
                    ${identity} "$<TARGET_FILE:${target}>"
            COMMENT "Signing ${target} with the test certificate" VERBATIM)
    endfunction()

    # The Windows (Z:) path under Wine of a folder of this machine.
    function(tervane_wine_path out path)
        string(REPLACE "/" "\\\\" converted "${path}")
        set(${out} "Z:${converted}" PARENT_SCOPE)
    endfunction()
endif()
