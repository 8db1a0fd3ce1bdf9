# Warnings for our own targets only (third-party headers come in as SYSTEM). Warnings stop the
# build only for developers and CI (VA5VIVI_WERROR, set by tools/build): a user's compiler may
# warn about things ours does not, and must still build the release.
option(VA5VIVI_WERROR "Treat compiler warnings as errors" OFF)
function(va5vivi_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${VA5VIVI_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${VA5VIVI_WERROR}>:-Werror>)
  endif()
endfunction()
