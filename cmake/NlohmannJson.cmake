# The JSON library (header-only) as the target nlohmann_json::nlohmann_json. A cross-build that
# finds no copy made for its target takes the build machine's headers: they are copied into the
# build tree, so that no other header of the build machine reaches the cross compiler.
# Included by each folder that uses it: a package's imported target is seen in its own folder only.
if(TARGET nlohmann_json::nlohmann_json)
  return()
endif()
find_package(nlohmann_json 3 QUIET)
if(NOT nlohmann_json_FOUND)
  if(NOT CMAKE_CROSSCOMPILING)
    find_package(nlohmann_json 3 REQUIRED)
  endif()
  find_path(CORVANE_HOST_NLOHMANN_INCLUDE nlohmann/json.hpp PATHS /usr/include /usr/local/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT CORVANE_HOST_NLOHMANN_INCLUDE)
    message(FATAL_ERROR "The JSON library is missing: install nlohmann-json3-dev (scripts/setup.sh does)")
  endif()
  set(staged ${CMAKE_BINARY_DIR}/staged/include)
  file(COPY ${CORVANE_HOST_NLOHMANN_INCLUDE}/nlohmann DESTINATION ${staged})
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${staged})
endif()
