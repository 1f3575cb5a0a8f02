# What each host tool has beside its program, called from the tool's folder: its changelog,
# checked against the project's version; its manual page with that version in its footer; the
# install rules of the program, the page, the copyright and the changelog, as the tool's own
# component; and its Debian package's description, for cmake/packages.cmake.
include(GNUInstallDirs)

# vossel_host_tool(TOOL SUMMARY DESCRIPTION_LINE...): TOOL is the program's target, and the name
# of its page (TOOL.1), its component and its package.
function(vossel_host_tool tool summary)
    # The changelog's first entry is the release being built: its version must be the
    # project's, and its signature names the package's maintainer.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${tool}.1 changelog)
    file(STRINGS changelog changelog_lines)
    list(GET changelog_lines 0 changelog_heading)
    if(NOT changelog_heading MATCHES "^${tool} \\(([^)]+)\\) ")
        message(FATAL_ERROR "tools/${tool}/changelog: no entry heading in its first line")
    elseif(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
        message(FATAL_ERROR "tools/${tool}/changelog: its first entry is version "
            "${CMAKE_MATCH_1}, the project's is ${PROJECT_VERSION}: add an entry for it")
    endif()
    foreach(line IN LISTS changelog_lines)
        if(line MATCHES "^ -- (.+ <[^>]+>)  ")
            set_property(GLOBAL PROPERTY VOSSEL_PACKAGE_MAINTAINER "${CMAKE_MATCH_1}")
            break()
        endif()
    endforeach()

    # The page as installed: the project's version in its footer. Debian wants pages and
    # changelogs compressed at the highest level, without a name or a time in the header.
    file(READ ${tool}.1 page)
    string(REGEX REPLACE "\n\\.Os [^\n]*" "\n.Os vossel ${PROJECT_VERSION}" page "${page}")
    file(CONFIGURE OUTPUT ${tool}.1 CONTENT "${page}" @ONLY)
    configure_file(changelog changelog COPYONLY)
    set(docs_dir ${CMAKE_CURRENT_BINARY_DIR})
    add_custom_command(OUTPUT ${docs_dir}/${tool}.1.gz ${docs_dir}/changelog.gz
        COMMAND gzip -9nkf ${tool}.1 changelog
        DEPENDS ${docs_dir}/${tool}.1 ${docs_dir}/changelog
        WORKING_DIRECTORY ${docs_dir}
        VERBATIM)
    add_custom_target(${tool}-docs DEPENDS ${docs_dir}/${tool}.1.gz ${docs_dir}/changelog.gz)
    add_dependencies(${tool} ${tool}-docs)

    # What cmake --install installs, and the package holds: the tool, its page, and its
    # copyright and changelog where Debian looks for them.
    set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
        OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${tool})
    install(FILES ${docs_dir}/${tool}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT ${tool})
    install(FILES copyright ${docs_dir}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${tool} COMPONENT ${tool})

    # The description as its lines are to be shown (Debian wraps none), after its summary.
    string(JOIN "\n" description "${summary}" ${ARGN})
    set_property(GLOBAL APPEND PROPERTY VOSSEL_PACKAGES ${tool})
    set_property(GLOBAL PROPERTY VOSSEL_PACKAGE_DESCRIPTION_${tool} "${description}")
endfunction()
