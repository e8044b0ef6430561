# add_rkp_package(<target> OUTPUT <file.rkp> KEY <1..255> MEMBERS <member=path | path>... [DEPENDS ...])
# Packs the files into a resource package with the rkp tool. A member given as a
# plain path is stored under its file name.
function(add_rkp_package target)
  cmake_parse_arguments(P "" "OUTPUT;KEY" "MEMBERS;DEPENDS" ${ARGN})
  set(paths)
  foreach(m IN LISTS P_MEMBERS)
    string(FIND "${m}" "=" eq)
    if(eq GREATER -1)
      math(EXPR from "${eq} + 1")
      string(SUBSTRING "${m}" ${from} -1 p)
      list(APPEND paths "${p}")
    else()
      list(APPEND paths "${m}")
    endif()
  endforeach()
  add_custom_command(
    OUTPUT ${P_OUTPUT}
    COMMAND rkp pack --key ${P_KEY} ${P_OUTPUT} ${P_MEMBERS}
    DEPENDS rkp ${paths} ${P_DEPENDS}
    COMMENT "Packing ${P_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${P_OUTPUT})
endfunction()
