# Warnings are errors for everything we compile; helper function applied per
# target. Qt's and GoogleTest's headers come in as system headers (imported
# targets, or SYSTEM below), so these flags judge our own code only.
function(velk_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wconversion
      -Wsign-conversion -Wpedantic -Werror)
  endif()
endfunction()

# A module library: static, warnings as errors, and VELK_MODULE naming the
# module in the "[module,line] " prefix of error texts.
function(velk_module target module)
  add_library(${target} STATIC ${ARGN})
  velk_warnings(${target})
  target_compile_definitions(${target} PRIVATE VELK_MODULE="${module}")
endfunction()
