# A game's description (patchers/GAME/GAME_game.txt) made into the header every program reads it from.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# embed_game(TARGET DESCRIPTION HEADER PREFIX): an interface library TARGET whose users include
# HEADER ("patchers/velmora/velmora_game.h"), written from DESCRIPTION at build time.
function(embed_game target description header prefix)
  set(output ${PROJECT_BINARY_DIR}/${header})
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/embed_game.py ${output} ${description} ${prefix}
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/embed_game.py ${description}
    COMMENT "Embedding the description of the game ${prefix}"
    VERBATIM)
  add_custom_target(${target}_header DEPENDS ${output})
  add_library(${target} INTERFACE)
  add_dependencies(${target} ${target}_header)
  target_include_directories(${target} INTERFACE ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
endfunction()

# The value of KEY in a game's description, for the build: its data files' names.
function(game_value description key variable)
  file(STRINGS ${description} lines REGEX "^${key}[ \t]")
  list(LENGTH lines count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "${description}: ${key} must be given once")
  endif()
  string(REGEX REPLACE "^${key}[ \t]+" "" value "${lines}")
  string(REGEX REPLACE "[ \t]+" ";" value "${value}")
  set(${variable} ${value} PARENT_SCOPE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${description})
endfunction()
