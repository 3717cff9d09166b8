# embed_glsl.cmake - writes the GLSL files of the GL backend into one C++
# source as string constants, run at build time (cmake -P):
#   cmake -DOUTPUT=file.cpp -DSOURCES=a.vert.glsl,b.frag.glsl,... -P embed_glsl.cmake
# A file a.b.glsl becomes VEL_GLSL_A_B, with ".vert" read as VERTEX and
# ".frag" as FRAGMENT: mesh.vert.glsl is VEL_GLSL_MESH_VERTEX. The text is
# kept as it is, in a raw string literal.
if(NOT OUTPUT OR NOT SOURCES)
  message(FATAL_ERROR "embed_glsl.cmake: OUTPUT and SOURCES are needed")
endif()
string(REPLACE "," ";" sources "${SOURCES}")
set(text "// Made at build time from the backend's .glsl files by embed_glsl.cmake: edit those.\n")
string(APPEND text "#include \"gl/shaders.h\"\n")
foreach(source IN LISTS sources)
  get_filename_component(file "${source}" NAME)
  string(REGEX REPLACE "\\.glsl$" "" stem "${file}")
  string(REGEX REPLACE "\\.vert$" ".vertex" stem "${stem}")
  string(REGEX REPLACE "\\.frag$" ".fragment" stem "${stem}")
  string(REPLACE "." "_" stem "${stem}")
  string(TOUPPER "${stem}" stem)
  file(READ "${source}" glsl)
  string(FIND "${glsl}" ")glsl\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "embed_glsl.cmake: ${source} holds the literal's closing )glsl\"")
  endif()
  string(APPEND text "\nconst char *const VEL_GLSL_${stem} = R\"glsl(${glsl})glsl\";\n")
endforeach()
file(WRITE "${OUTPUT}" "${text}")
