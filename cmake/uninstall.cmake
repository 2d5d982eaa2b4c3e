# Removes every file the install manifest lists, then the folders of ours the install left empty.
#   cmake -DMANIFEST=build/install_manifest.txt -DPREFIX=/usr/local -P cmake/uninstall.cmake
# DESTDIR, when set, is the same as at the install. Shared folders (bin, share/applications, the
# icon theme's top, the manual's sections...) stay even when empty: other programs own them too.
cmake_minimum_required(VERSION 3.25)
if(NOT EXISTS "${MANIFEST}")
    message(FATAL_ERROR "Nothing to uninstall: ${MANIFEST} does not exist (run the install first).")
endif()
set(root "$ENV{DESTDIR}${PREFIX}")
set(shared "")
foreach(d bin share share/applications share/metainfo share/icons share/icons/hicolor share/man
          share/man/man1 share/doc)
    list(APPEND shared "${root}/${d}")
endforeach()

# The manifest lists the paths without DESTDIR.
file(STRINGS "${MANIFEST}" files)
set(folders "")
foreach(f ${files})
    set(f "$ENV{DESTDIR}${f}")
    if(EXISTS "${f}" OR IS_SYMLINK "${f}")
        message(STATUS "Removing ${f}")
        file(REMOVE "${f}")
    endif()
    get_filename_component(d "${f}" DIRECTORY)
    list(APPEND folders "${d}")
endforeach()

list(REMOVE_DUPLICATES folders)
foreach(d ${folders})
    string(FIND "${d}/" "${root}/" at)
    while(at EQUAL 0 AND IS_DIRECTORY "${d}" AND NOT d STREQUAL root AND NOT d IN_LIST shared)
        file(GLOB left LIST_DIRECTORIES true "${d}/*" "${d}/.*")
        if(left)
            break()
        endif()
        file(REMOVE_RECURSE "${d}")
        get_filename_component(d "${d}" DIRECTORY)
    endwhile()
endforeach()
