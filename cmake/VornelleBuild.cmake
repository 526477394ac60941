# Build rules shared by every target: reproducible output, static linking, and
# the small, exception-free subset of C++ that the program itself is written in.
if(MSVC)
  add_compile_options(/W4 /utf-8)
  add_link_options(/BREPRO)
else()
  # Rebuilds are byte-identical: no source paths and no link timestamp.
  add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
                      -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
  add_link_options(-static -Wl,--no-insert-timestamp)
endif()

# The process entry's linker name: the runtime's WinMain is __stdcall with
# 16 bytes of arguments, decorated on i686 and plain on x86_64.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VORNELLE_ENTRY_SYMBOL WinMain)
else()
  set(VORNELLE_ENTRY_SYMBOL _WinMain@16)
endif()

# The program's own code: warnings are errors, and nothing that drags the C++
# runtime's exception machinery or streams into the executable.
function(vornelle_product_code target)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  if(MSVC)
    target_compile_options(${target} PRIVATE /WX /GR- /EHs-c- /D_HAS_EXCEPTIONS=0)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Os -fno-exceptions
                           -fno-rtti -fno-asynchronous-unwind-tables
                           -ffunction-sections -fdata-sections)
  endif()
  target_compile_definitions(${target} PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX
                             _WIN32_WINNT=0x0601)
endfunction()

# A program of the project's own (the exe, examples, test drivers): GUI
# subsystem, sections nobody references dropped, symbols stripped.
function(vornelle_gui_program target)
  if(MSVC)
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  else()
    target_link_options(${target} PRIVATE -mwindows -Wl,--gc-sections -s)
  endif()
endfunction()
