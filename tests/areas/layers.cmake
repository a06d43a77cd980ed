# An include that points up (or across, between parallel and textio, which
# sit side by side above platform) must not build: for each pair, a source of
# the first layer that includes a header of the second, compiled as that
# layer's own code is. The build tree is shared, so these builds take turns.
foreach(pair platform:textio/free_writer.hpp platform:parallel/processes.hpp
             textio:linalg/dense.hpp textio:parallel/processes.hpp
             parallel:linalg/dense.hpp parallel:textio/free_writer.hpp
             linalg:structure/orders.hpp structure:run/main.hpp)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 layer)
  list(GET pair 1 header)
  string(REGEX MATCH "^[a-z]+" other ${header})
  set(name ${layer}_cannot_include_${other})
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/layer_up_${name}.cpp
       CONTENT "#include \"${header}\"\n")
  add_library(layer_up_${name} OBJECT EXCLUDE_FROM_ALL ${CMAKE_CURRENT_BINARY_DIR}/layer_up_${name}.cpp)
  target_link_libraries(layer_up_${name} PRIVATE rcwa_${layer})
  add_test(NAME layers_${name}
    COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target layer_up_${name})
  set_tests_properties(layers_${name} PROPERTIES
    PASS_REGULAR_EXPRESSION "${header}: No such file" RESOURCE_LOCK rcwa_build_tree TIMEOUT 300)
endforeach()
