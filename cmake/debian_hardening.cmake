# Debian's hardening flags, as dpkg-buildflags gives them on the build
# machine: fortified functions, stack protector and format checks for the
# compiler, read-only relocations bound at start for the linker. Only those:
# optimisation and debug information stay with the build type.
find_program(VOSTREL_DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT VOSTREL_DPKG_BUILDFLAGS)
  return()
endif()

function(vostrel_build_flags kind out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                          ${VOSTREL_DPKG_BUILDFLAGS} --get ${kind}
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(failed)
    set(flags "")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  list(FILTER flags INCLUDE REGEX "^(-D_FORTIFY_SOURCE=|-fstack-protector|-fstack-clash-protection|-fcf-protection|-Wformat|-Werror=format-security|-Wl,-z,)")
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

vostrel_build_flags(CPPFLAGS hardening_cpp)
vostrel_build_flags(CXXFLAGS hardening_cxx)
vostrel_build_flags(LDFLAGS hardening_ld)
# Fortified functions need the optimiser: not in a debug build.
foreach(flag IN LISTS hardening_cpp)
  add_compile_options($<$<NOT:$<CONFIG:Debug>>:${flag}>)
endforeach()
add_compile_options(${hardening_cxx})
add_link_options(${hardening_ld})
