# Turns a rebuild's plain-text layout tables into a C++ source at build time (see embed_tables.py).
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# embed_layout_tables(OUTPUT HEADER PREFIX NAMES [SOUND_TABLE ...]): writes OUTPUT, which includes
# HEADER and defines `<PREFIX>NameTable` and, with sound tables, `<PREFIX>SoundRuns`.
function(embed_layout_tables output header prefix names)
  set(sound_arguments)
  if(ARGN)
    set(sound_arguments --sounds ${ARGN})
  endif()
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/embed_tables.py ${output} ${header} ${prefix}
            --names ${names} ${sound_arguments}
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/embed_tables.py ${names} ${ARGN}
    COMMENT "Embedding the layout tables ${prefix}"
    VERBATIM)
endfunction()
