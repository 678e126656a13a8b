# Every target of the project compiles with the same warnings; in CI they are errors.
function(versalo_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                             -Wold-style-cast -Wcast-align -Woverloaded-virtual)
    if(VERSALO_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
