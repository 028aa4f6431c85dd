# Strict warnings for our own code only; never exported to users of the libraries.
add_library(scribeline_warnings INTERFACE)
if(SCRIBELINE_DEVELOPER)
    target_compile_options(scribeline_warnings INTERFACE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
        -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
        -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough -Wno-missing-field-initializers
        -Werror)
endif()
