# Each folder under src/ is one subsystem, built as an object library named nyx_<folder>.
# libnyx.so and the static archive used by tests and tools are made from all of them.
# A target can link just the subsystems it needs, so that a half-written subsystem does
# not stop the others from building.

set(NYX_SUBSYSTEMS utils paths status expr pi dm io config dw compiler svc)

# nyx_link_subsystems(<target> <subsystem>...): links the object libraries of the named
# subsystems that exist (a subsystem with no sources yet has no target).
function(nyx_link_subsystems target)
  foreach(sub IN LISTS ARGN)
    if(TARGET nyx_${sub})
      target_link_libraries(${target} PRIVATE nyx_${sub})
    endif()
  endforeach()
endfunction()
