# Layers: each folder of the instrument's code builds into a library that sees only its own
# folder and the folders of the layers below it. The include path of a layer is a folder of
# symbolic links to exactly those folders, so an include that points up or sideways is not found
# and fails the build. Programs, tests and benchmarks see the whole tree.
#
#   app
#   board  options  tools
#   engine
#   files
#   filter
#   res
#   platform/qt (Qt only here and above)
#   platform
function(aerolyre_layer target)
    cmake_parse_arguments(PARSE_ARGV 1 L "" "" "SEES")
    set(view ${CMAKE_BINARY_DIR}/layers/${target})
    file(REMOVE_RECURSE ${view})
    file(MAKE_DIRECTORY ${view})
    foreach(folder ${L_SEES})
        get_filename_component(parent ${view}/${folder} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
    endforeach()
    target_include_directories(${target} PRIVATE ${view})
endfunction()
