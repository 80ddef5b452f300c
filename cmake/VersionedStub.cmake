# Stand-ins for the product's main executable, each with a chosen file version (or none),
# built into build/stubs/. The tests use them as fixtures, the demo as installed and new program.
set(STUB_OUTPUT_DIR ${CMAKE_BINARY_DIR}/stubs)
add_custom_target(stubs)
# One compile of the program for every stub; only their version resources differ.
add_library(stub_main OBJECT ${CMAKE_SOURCE_DIR}/demo/stub_main.cpp)
target_link_libraries(stub_main PRIVATE kv_options)
reuse_precompiled_headers(stub_main)

function(add_versioned_stub name)
    if(ARGC GREATER 1)
        set(STUB_VERSION_NUMBERS ${ARGV1})
        set(rc_file ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc)
        configure_file(${CMAKE_SOURCE_DIR}/cmake/stub_version.rc.in ${rc_file} @ONLY)
        add_executable(${name} WIN32 $<TARGET_OBJECTS:stub_main> ${rc_file})
    else()
        add_executable(${name} WIN32 $<TARGET_OBJECTS:stub_main>)
    endif()
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${STUB_OUTPUT_DIR})
    target_link_libraries(${name} PRIVATE kv_options)
    add_dependencies(stubs ${name})
endfunction()
