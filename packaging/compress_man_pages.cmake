# Run by CPack on the staged files, before they are packed: Debian wants every manual page
# compressed at the highest level, without the source's name and time (so that two builds of the
# same tree give the same package), whichever folder installed it.
if(NOT CPACK_TEMPORARY_DIRECTORY)
    message(FATAL_ERROR "compress_man_pages.cmake runs from CPack, which names the staged files")
endif()
find_program(gzip_program gzip REQUIRED)
file(GLOB_RECURSE pages LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*/share/man/*")
foreach(page IN LISTS pages)
    if(NOT page MATCHES "\\.gz$")
        execute_process(COMMAND ${gzip_program} -9nf "${page}" RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "gzip could not compress ${page}")
        endif()
    endif()
endforeach()
