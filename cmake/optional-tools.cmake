# Tests that need an optional tool. Where the tool is missing, configure says so in one line that
# names the Debian package, and each such test is still registered, to be reported by CTest as
# skipped rather than be silently absent.

# Finds PROGRAM into VARIABLE, or says which package brings it.
function(vossel_find_tool variable program package)
    find_program(${variable} ${program})
    if(NOT ${variable})
        message(STATUS "${program} not found: the tests that need it are skipped "
            "(apt-get install ${package})")
    endif()
endfunction()

# vossel_add_tool_test(FOUND PACKAGE NAME name COMMAND ...): the test as add_test() would add it
# when FOUND is true; otherwise a test of that name that CTest reports as skipped.
function(vossel_add_tool_test found package)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "NAME" "")
    if(found)
        add_test(NAME ${arg_NAME} ${arg_UNPARSED_ARGUMENTS})
    else()
        add_test(NAME ${arg_NAME}
            COMMAND /bin/sh -c "echo 'skipped: apt-get install ${package} to run it'; exit 77")
        set_tests_properties(${arg_NAME} PROPERTIES SKIP_RETURN_CODE 77)
    endif()
endfunction()
