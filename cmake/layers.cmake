# Every folder's headers are included as "folder/file.h". A library's include path holds only a
# directory with a link named after its own folder, so a target sees the folders of the libraries
# it links and no others: an include of a folder above it fails to compile.

# Gives target (with scope PUBLIC, PRIVATE or INTERFACE) every header of folder, a path from the
# source root such as "gvcp" or "tools/gvcp-probe".
function(tarn_folder_headers target scope folder)
  string(REPLACE "/" "_" root_name ${folder})
  set(root ${PROJECT_BINARY_DIR}/include/${root_name})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} ${scope} ${root})
endfunction()

# Gives target only the named headers of folder, for a library that shares its folder with the
# layer above it; root_name names the directory that holds them.
function(tarn_file_headers target scope root_name folder)
  set(root ${PROJECT_BINARY_DIR}/include/${root_name})
  file(MAKE_DIRECTORY ${root}/${folder})
  foreach(header IN LISTS ARGN)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder}/${header} ${root}/${folder}/${header} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# A test that compiles one line including header with library's include path, and passes only
# when the compiler cannot find the header: the proof that the layering holds for that pair.
function(tarn_hidden_header_test library header)
  string(MAKE_C_IDENTIFIER "${library}_sees_${header}" name)
  set(source ${PROJECT_BINARY_DIR}/hidden_headers/${name}.cpp)
  file(CONFIGURE OUTPUT ${source} CONTENT "#include \"${header}\"\n")
  # The library's include path, not the library itself, so the test builds nothing else.
  add_library(${name} OBJECT EXCLUDE_FROM_ALL ${source})
  target_include_directories(${name} PRIVATE
                             $<TARGET_PROPERTY:${library},INTERFACE_INCLUDE_DIRECTORIES>)
  add_test(NAME layers.${name} COMMAND ${CMAKE_COMMAND} --build ${PROJECT_BINARY_DIR} --target ${name})
  # g++ says "x.h: No such file or directory", clang "'x.h' file not found".
  set_tests_properties(layers.${name} PROPERTIES
    PASS_REGULAR_EXPRESSION "${header}'?(: No such file or directory| file not found)")
endfunction()
