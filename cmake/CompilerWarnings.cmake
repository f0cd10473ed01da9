# Warning flags shared by every target of the project, chosen per compiler: MSVC reads -Wall
# as /Wall and ignores the GCC options, and the shipped build is made with MSVC.
function(kestrune_set_warnings target)
    if(MSVC)
        # /permissive- holds MSVC to the standard, as GCC and Clang are by default.
        target_compile_options(${target} PRIVATE /W4 /permissive-)
        if(KESTRUNE_WARNINGS_AS_ERRORS)
            target_compile_options(${target} PRIVATE /WX)
        endif()
    else()
        # No -Wshadow: members carry the names of the values they are built from, so every
        # constructor that takes such a value would warn.
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
        if(KESTRUNE_WARNINGS_AS_ERRORS)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
endfunction()
