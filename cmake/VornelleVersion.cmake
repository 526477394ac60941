# The program's version, written once in the file VERSION at the top of the
# tree: MAJOR.MINOR, up to four numbers, each at most 65535 (release/version.py
# reads it for the release tools by the same rule). Read before project(), so
# that it is the project's version; vornelle_version_files() then makes the
# header and the manifest that carry it into the program, its resources and
# the tests (the library vornelle_version).
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../VERSION VORNELLE_VERSION LIMIT_COUNT 1)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../VERSION)
string(REPLACE "." ";" vornelle_version_parts "${VORNELLE_VERSION}")
list(LENGTH vornelle_version_parts vornelle_version_count)
if(NOT VORNELLE_VERSION MATCHES "^[0-9]+(\\.[0-9]+)+$" OR vornelle_version_count GREATER 4)
  message(FATAL_ERROR "VERSION holds \"${VORNELLE_VERSION}\", not MAJOR.MINOR (up to four numbers)")
endif()
foreach(part IN LISTS vornelle_version_parts)
  if(part GREATER 65535)
    message(FATAL_ERROR "VERSION holds \"${VORNELLE_VERSION}\": ${part} is over 65535")
  endif()
endforeach()

# vornelle_version.h (the version as text and as the four numbers of the
# resources' VERSIONINFO) and vornelle.manifest (whose assembly version has
# four parts) in the build folder's generated/, the include folder of the
# interface library vornelle_version.
function(vornelle_version_files)
  set(numbers ${vornelle_version_parts})
  list(LENGTH numbers count)
  while(count LESS 4)
    list(APPEND numbers 0)
    math(EXPR count "${count} + 1")
  endwhile()
  list(JOIN numbers "," VORNELLE_VERSION_NUMBERS)
  list(JOIN numbers "." VORNELLE_VERSION_QUAD)
  set(generated ${CMAKE_BINARY_DIR}/generated)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/vornelle_version.h.in ${generated}/vornelle_version.h
                 @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/app/vornelle.manifest.in ${generated}/vornelle.manifest
                 @ONLY)
  add_library(vornelle_version INTERFACE)
  target_include_directories(vornelle_version INTERFACE ${generated})
endfunction()
