# stikko_layer(<name> [EXCLUDE <regex>] [PUBLIC <targets...>] [PRIVATE <targets...>]): a static
# library of every source file in the calling folder src/<layer>, less those matching EXCLUDE.
#
# Headers are included as "<layer>/<file>.h". Each layer has an include folder of its own that
# holds only itself (a link <build>/include/<layer>/<layer> -> src/<layer>), so a file sees the
# headers of its own layer and of the layers it links, and nothing else: a header of a higher
# layer, or of one linked PRIVATE further down, is not found and the build stops there.
# Link PUBLIC the layers whose headers this layer's own headers include (its users need them
# too); everything else PRIVATE.
function(stikko_layer name)
    cmake_parse_arguments(ARG "" "EXCLUDE" "PUBLIC;PRIVATE" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    if(ARG_EXCLUDE)
        list(FILTER sources EXCLUDE REGEX "${ARG_EXCLUDE}")
    endif()
    add_library(${name} STATIC ${sources} ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)

    get_filename_component(layer ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    set(root ${PROJECT_BINARY_DIR}/include/${layer})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${layer} SYMBOLIC)
    target_include_directories(${name} PUBLIC ${root})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()
