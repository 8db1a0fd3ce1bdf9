# Warnings for our own targets only (third-party headers come in as SYSTEM). Warnings stop the
# build only for developers and CI (VA5VIVI_WERROR, set by tools/build): a user's compiler may
# warn about things ours does not, and must still build the release.
option(VA5VIVI_WERROR "Treat compiler warnings as errors" OFF)
function(va5vivi_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${VA5VIVI_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${VA5VIVI_WERROR}>:-Werror>)
    # g++ 12 reports overlaps that cannot happen in std::string's inlined copies at -O3
    # (-Wrestrict, GCC bug 105329); the warning is kept where the compiler gets it right.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
  endif()
endfunction()
