# Makes the release package: cmake -D "TOOLS=<exe>;<exe>" -D OUTPUT=<folder>
# -P package.cmake writes <folder>/Corvantis-<version>.zip holding the tools
# and README.txt. scripts/release.sh builds the tools first.
include(${CMAKE_CURRENT_LIST_DIR}/version.cmake)

set(staging ${OUTPUT}/Corvantis-${CORVANTIS_VERSION})
set(package ${staging}.zip)
file(REMOVE_RECURSE ${staging} ${package})
file(COPY ${TOOLS} DESTINATION ${staging})
configure_file(${CMAKE_CURRENT_LIST_DIR}/release-readme.txt ${staging}/README.txt
               @ONLY NEWLINE_STYLE CRLF)

file(GLOB contents RELATIVE ${staging} ${staging}/*)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${package} --format=zip ${contents}
                WORKING_DIRECTORY ${staging} COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "Release package: ${package}")
