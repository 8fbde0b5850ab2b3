# Fails when a file under the core folder includes a Qt header.
# Run as: cmake -DCORE_DIR=<dir> -P CheckNoQt.cmake
file(GLOB_RECURSE core_files "${CORE_DIR}/*.h" "${CORE_DIR}/*.cpp")
set(offenders "")
foreach(f IN LISTS core_files)
    file(STRINGS "${f}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]|Qt[A-Za-z]*/)")
    if(hits)
        list(APPEND offenders "${f}: ${hits}")
    endif()
endforeach()
if(offenders)
    list(JOIN offenders "\n" text)
    message(FATAL_ERROR "The core must not use Qt:\n${text}")
endif()
