# A Release build takes the distribution's hardening flags (fortified functions, stack protector,
# read-only relocations, immediate binding), as dpkg-buildflags gives them on Debian, so that the
# programs of the package are built like every other program of the distribution. Where
# dpkg-buildflags is missing, the build goes on without them.
if(NOT VERSALO_DISTRIBUTION_FLAGS OR NOT CMAKE_BUILD_TYPE STREQUAL "Release")
    return()
endif()
find_program(VERSALO_DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT VERSALO_DPKG_BUILDFLAGS)
    message(STATUS "dpkg-buildflags not found: Release build without the distribution's hardening flags")
    return()
endif()

function(versalo_dpkg_buildflags name out)
    # hardening=+all adds immediate binding (bindnow) to the defaults.
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env "DEB_BUILD_MAINT_OPTIONS=hardening=+all"
                            "${VERSALO_DPKG_BUILDFLAGS}" --get ${name}
                    WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        set(flags "")
    endif()
    set(${out} "${flags}" PARENT_SCOPE)
endfunction()

versalo_dpkg_buildflags(CPPFLAGS versalo_cppflags)
versalo_dpkg_buildflags(CXXFLAGS versalo_cxxflags)
versalo_dpkg_buildflags(LDFLAGS versalo_ldflags)
# Before CMake's own Release flags on the command line, so that its -O3 stays in force.
string(APPEND CMAKE_CXX_FLAGS " ${versalo_cppflags} ${versalo_cxxflags}")
string(APPEND CMAKE_EXE_LINKER_FLAGS " ${versalo_ldflags}")
message(STATUS "Distribution flags: ${versalo_cppflags} ${versalo_cxxflags} ${versalo_ldflags}")
