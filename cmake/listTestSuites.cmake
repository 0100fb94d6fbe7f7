# Writes the CTest registration of every GoogleTest suite of a test program, one test per suite:
#   cmake -D program=P -D prefix=engineTests_wide -D home=H -D directory=D -D output=F -P this
# The programs look for the user's colour file under HOME: tests get a home of their own in the
# build tree (H), never the real one; nor do the user's defaults (QVD_OPTIONS) count.

execute_process(COMMAND ${program} --gtest_list_tests OUTPUT_VARIABLE listing
                RESULT_VARIABLE result TIMEOUT 60)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${program} --gtest_list_tests failed (${result}):\n${listing}")
endif()

# A suite's line starts in the first column and ends its name with a full stop (a typed suite's
# line goes on with a comment); its cases follow, indented.
string(REPLACE "\n" ";" lines "${listing}")
set(registration "")
foreach(line IN LISTS lines)
    if(line MATCHES "^([^ ]+)\\.( |$)")
        set(suite ${CMAKE_MATCH_1})
        set(name "${prefix}.${suite}")
        string(APPEND registration
            "add_test([==[${name}]==] [==[${program}]==] [==[--gtest_filter=${suite}.*]==])\n"
            "set_tests_properties([==[${name}]==] PROPERTIES WORKING_DIRECTORY [==[${directory}]==]"
            " ENVIRONMENT [==[HOME=${home};XDG_CONFIG_HOME=${home}/.config;QVD_OPTIONS=]==])\n")
    endif()
endforeach()
file(WRITE ${output} "${registration}")
