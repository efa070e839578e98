# kestrin_embed_asset(<target> SYMBOL <name> FILE <path>)
# Makes a static library <target> holding the bytes of <path>, generated at build
# time (regenerated when the file changes), and a header "assets/<target>.h" that
# declares, in namespace assets:
#   extern const unsigned char <name>[];
#   extern const std::size_t <name>Size;
# The file itself never enters the source tree.
set(KESTRIN_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/embed_file.cmake)

function(kestrin_embed_asset target)
  cmake_parse_arguments(ARG "" "SYMBOL;FILE" "" ${ARGN})
  set(gen_dir ${CMAKE_CURRENT_BINARY_DIR}/generated)
  set(header ${gen_dir}/include/assets/${target}.h)
  set(source ${gen_dir}/${target}.cpp)
  file(WRITE ${header}.in
    "#pragma once\n// Generated from ${ARG_FILE}; do not edit.\n#include <cstddef>\n\n"
    "namespace assets {\nextern const unsigned char ${ARG_SYMBOL}[];\nextern const std::size_t ${ARG_SYMBOL}Size;\n}  // namespace assets\n")
  configure_file(${header}.in ${header} COPYONLY)
  add_custom_command(
    OUTPUT ${source}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${ARG_FILE} -DOUTPUT=${source} -DSYMBOL=${ARG_SYMBOL} -P ${KESTRIN_EMBED_SCRIPT}
    DEPENDS ${ARG_FILE} ${KESTRIN_EMBED_SCRIPT}
    COMMENT "Embedding ${ARG_FILE}"
    VERBATIM)
  add_library(${target} STATIC ${source})
  target_include_directories(${target} PUBLIC ${gen_dir}/include)
endfunction()
