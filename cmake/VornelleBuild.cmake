# Build rules shared by every target, for the MinGW-w64 toolchains: reproducible
# output, static linking, the small, exception-free subset of C++ that the
# program itself is written in, and how a program enters without a C start-up.

# Rebuilds are byte-identical: no source paths and no link timestamp.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
add_link_options(-static -Wl,--no-insert-timestamp)

# The process entry's linker name: the runtime's WinMain is __stdcall with
# 16 bytes of arguments, decorated on i686 and plain on x86_64.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VORNELLE_ENTRY_SYMBOL WinMain)
else()
  set(VORNELLE_ENTRY_SYMBOL _WinMain@16)
endif()

# The program's own code: warnings are errors, nothing that drags the C++
# runtime's exception machinery or streams into the executable, and optimised
# for size before speed (-Oz): its one loop that matters, the pass-phrase
# fill, is bounded by the random generator, not by its own instructions.
function(vornelle_product_code target)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Oz -fno-exceptions
                         -fno-rtti -fno-asynchronous-unwind-tables
                         -ffunction-sections -fdata-sections)
  target_compile_definitions(${target} PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX
                             _WIN32_WINNT=0x0601)
endfunction()

# A program of the project's own (the exe, examples, test drivers): GUI
# subsystem, sections nobody references dropped, symbols stripped.
function(vornelle_gui_program target)
  target_link_options(${target} PRIVATE -mwindows -Wl,--gc-sections -s)
endfunction()

# The linker's list of static constructors holds its two end marks of a pointer
# each and nothing else, or the link fails: a program without the C library's
# start-up never runs a constructor, so one in its code would silently not run.
math(EXPR vornelle_constructor_marks "2 * ${CMAKE_SIZEOF_VOID_P}")
set(VORNELLE_NO_CONSTRUCTORS_SCRIPT ${CMAKE_BINARY_DIR}/no_static_constructors.ld)
file(WRITE ${VORNELLE_NO_CONSTRUCTORS_SCRIPT}
     "ASSERT(__DTOR_LIST__ - __CTOR_LIST__ == ${vornelle_constructor_marks},\n"
     "       \"static constructors never run in a program that enters at WinMain\");\n")

# A program linked as vornelle.exe is: the runtime's WinMain is the process
# entry itself: it never returns and reads none of its arguments, and the
# runtime sets up everything the program needs (COM, FPU, start-up values), so
# the C library's start-up code, and with it every import of msvcrt.dll, stays
# out of the executable. Its code therefore has no static constructors (plain
# records only), which the link checks.
function(vornelle_entry_program target)
  vornelle_gui_program(${target})
  target_link_options(${target} PRIVATE -nostartfiles -Wl,-e,${VORNELLE_ENTRY_SYMBOL}
                      ${VORNELLE_NO_CONSTRUCTORS_SCRIPT})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${VORNELLE_NO_CONSTRUCTORS_SCRIPT})
endfunction()
