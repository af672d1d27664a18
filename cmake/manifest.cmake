# zt_arch_manifest(<target> <manifest>)
# A manifest states the processor its program is built for. The manifest in the source
# (a file beside the target's resource script) says processorArchitecture="x86"; this
# makes a copy for the tree's own kind ("amd64" in the 64-bit tree) in the binary folder
# and puts that folder first on the resource compiler's search path, so the resource
# script takes the copy.
function(zt_arch_manifest target manifest)
  if(ZT_KIND EQUAL 64)
    set(arch amd64)
  else()
    set(arch x86)
  endif()
  set(source ${CMAKE_CURRENT_SOURCE_DIR}/${manifest})
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-manifest)
  file(READ ${source} text)
  if(NOT text MATCHES "processorArchitecture=\"x86\"")
    message(FATAL_ERROR "${source} does not state processorArchitecture=\"x86\"")
  endif()
  string(REPLACE "processorArchitecture=\"x86\"" "processorArchitecture=\"${arch}\"" text "${text}")
  file(CONFIGURE OUTPUT ${dir}/${manifest} CONTENT "${text}" @ONLY) # rewritten only when it changes
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  target_include_directories(${target} BEFORE PRIVATE ${dir})
  get_target_property(sources ${target} SOURCES)
  foreach(rc ${sources})
    if(rc MATCHES "\\.rc$")
      set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${dir}/${manifest})
    endif()
  endforeach()
endfunction()
