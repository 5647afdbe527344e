# What a shipping configure needs before it may build the program at all: an installer that
# no pinned signer can vouch for, or a service that does not exist, must never ship.

# tervane_release_problem(<out> <pinned fingerprint> <origin source file>): empty when both are
# fit for a release, otherwise the sentence that says what is missing.
function(tervane_release_problem out pinned origin_file)
    set(problem "")
    string(LENGTH "${pinned}" pinned_length)
    if(NOT pinned MATCHES "^[0-9a-fA-F]+$" OR NOT pinned_length EQUAL 64)
        set(problem "a release needs TERVANE_PINNED_SIGNER_SHA256, the SHA-256 of the "
                    "certificate that signs released installers (64 hexadecimal digits)")
        string(CONCAT problem ${problem})
    else()
        file(STRINGS "${origin_file}" origins REGEX "Origin\\[\\] = L\"")
        list(LENGTH origins count)
        if(count EQUAL 0)
            set(problem "no service origin found in ${origin_file}")
        endif()
        foreach(line IN LISTS origins)
            if(NOT line MATCHES "L\"https://[^\"/]+\"" OR line MATCHES "\\.invalid[\":]")
                set(problem "a release needs the real https service origins in ${origin_file}")
            endif()
        endforeach()
    endif()
    set(${out} "${problem}" PARENT_SCOPE)
endfunction()
